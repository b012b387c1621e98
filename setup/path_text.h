// Path texts of the set-up tool: the parts of a path written with "\" (or "/") between them.
//
// A path is GBK text, so a "\" byte may be the trail byte of a Chinese character ("\xD5\x5C");
// the walk below reads a byte of 0x80 or above and the byte after it as one character, so such
// a byte never counts as a separator.
#pragma once

#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

// Position of the last "\" or "/" that is not part of a double-byte character, or -1.
int LastPathSeparator(std::string_view path);

// The path up to its last separator, without it ("a\b\c.lnk" gives "a\b"); the empty text when
// there is none.
GbString DirectoryPart(std::string_view path);

// The part after the last separator ("a\b\c.lnk" gives "c.lnk"); the whole path when there is
// none.
GbString NamePart(std::string_view path);

// Whether a relative path stays inside the directory it is taken from: no drive (no ":"
// anywhere), no leading separator, no ".." part and no 0 byte, which would end the path early
// when the system reads it. The empty path names the directory itself and stays.
bool StaysInside(std::string_view relativePath);

}  // namespace quillax
