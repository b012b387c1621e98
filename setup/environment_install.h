// The installation run of the set-up tool: what it does when started without an action.
#pragma once

#include "setup/setup_session.h"

namespace quillax {

// Prepares the run-time environment of the installation in session.configDirectory and sets
// the message text to the closing notice of the user's locale. With re-registration the
// previously registered engine component is unregistered first.
//
// This version prepares the text modules (PrepareModules: main text derivation and every
// module index) and sets the closing notice; registering the engine component, the shortcuts
// and the fonts are not part of it yet.
void InstallEnvironment(SetupSession& session, bool withReregistration);

}  // namespace quillax
