// Import of a Bible text of another language as a new text module.
#pragma once

#include "setup/setup_session.h"
#include "textlib/gb_string.h"

namespace quillax {

// Imports the verse list in fileName (relative to the current directory, which is the
// configuration directory) and reports the outcome in the message text.
//
// Not available in this version: the message text says so and nothing is changed.
void ImportBible(SetupSession& session, const GbString& fileName);

}  // namespace quillax
