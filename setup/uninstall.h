// Undoing an installation: the full uninstall and the clearing of the component registration.
#pragma once

#include "setup/setup_session.h"

namespace quillax {

// Asks for confirmation, then removes the registration, the registry key, the configuration
// directory, the product's files in the installation root and its shortcuts.
//
// Not available in this version: the message text says so and nothing is changed.
void Uninstall(SetupSession& session);

// Unregisters the engine component and deletes HKEY_CURRENT_USER\Software\quillax, so that an
// upgrade can replace the component.
//
// Not available in this version: the message text says so and nothing is changed.
void ClearRegistration(SetupSession& session);

}  // namespace quillax
