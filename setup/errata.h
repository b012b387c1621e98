// Errata correction of the installed text modules from the list "correct.txt".
#pragma once

#include "setup/setup_session.h"

namespace quillax {

// Applies the errata list of the configuration directory and reports in the message text.
//
// Not available in this version: the message text says so and nothing is changed.
void ApplyErrata(SetupSession& session);

}  // namespace quillax
