// The two text forms against which the manifest's values are compared: the version label of a
// program or library and the date label of a file's last write. Comparisons of these texts
// are ordinal (byte by byte); nothing is parsed as a number or a date.
#pragma once

#include <string_view>

#include "platform/files.h"
#include "textlib/gb_string.h"

namespace quillax {

// "Build " + fileVersion, in which the first two commas become "." and the third a blank, with
// ":" inserted before the last two characters: "2006,07,28,2025" gives
// "Build 2006.07.28 20:25". An empty fileVersion gives the empty text.
GbString VersionLabelFromFileVersion(std::string_view fileVersion);

// The version label of the file's "FileVersion" string (block 040904b0 of its version
// information); empty when the file has none.
GbString ReadVersionLabel(std::string_view path);

// "yyyy-mm-dd hh:mm" of a local time, the year padded with blanks to four places.
GbString FileDateLabelFromLocal(const platform::CalendarTime& local);

// The date label of the file's last-write time in local time; empty when the file cannot be
// read.
GbString ReadFileDateLabel(std::string_view path);

}  // namespace quillax
