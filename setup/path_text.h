// Path texts of the set-up tool. Splitting a path at its last separator (DirectoryPart,
// NamePart, LastPathSeparator) is the GBK path helpers' job (textlib/gb_string.h).
#pragma once

#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

// Whether a relative path stays inside the directory it is taken from: no drive (no ":"
// anywhere), no leading separator, no ".." part and no 0 byte, which would end the path early
// when the system reads it. The empty path names the directory itself and stays. A ":" that is
// the trail byte of a GBK character is no drive.
bool StaysInside(std::string_view relativePath);

}  // namespace quillax
