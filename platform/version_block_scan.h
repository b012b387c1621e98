// Finding the embedded version block (resources/version/version_block.h) in a file's bytes.
// Used by the Linux version reader; portable so that it is tested on every platform.
#pragma once

#include <optional>
#include <string_view>

#include "platform/version_info.h"

namespace quillax::platform {

// The strings of the first well-formed version block in the bytes, or nothing. An occurrence
// of the marker that is not followed by a well-formed block with at least one pair is passed
// over. Keys other than "FileVersion" and "LegalCopyright" are ignored.
std::optional<VersionStrings> FindVersionBlock(std::string_view bytes);

}  // namespace quillax::platform
