// Where the running program is: its own file, the directory it was started in, and the
// system directory of the machine.
//
// Paths come back in the program's form: GBK text with "\" between the parts, so portable code
// handles them exactly like the paths it builds itself ("cfg\", "sys\Corpa"). Windows reports
// them that way already. On Linux the system's "/" separators become "\" (the file layer maps
// them back), and UTF-8 names become GBK where GBK can write them, so "/opt/prod/cfg" is
// reported as "\opt\prod\cfg".
//
// No function throws; a location that cannot be found is the empty text.
#pragma once

#include <string>

namespace quillax::platform {

// The current directory of the process, without a trailing "\" (except for a root such as
// "C:\" or the Linux root "\"). Called at start-up, this is the directory the program was
// started in.
std::string StartDirectory();

// The full path of the running program file, and its directory (without a trailing "\").
std::string ProgramPath();
std::string ProgramDirectory();

// The system directory without a trailing "\" (on Windows that of GetSystemDirectoryA, for
// example "C:\WINDOWS\system32"). Linux has no such directory: the environment variable
// QUILLAX_SYSTEM_DIR names the directory that stands in for it, and without it the result is
// empty, which callers take as "no system directory" and skip what lives there.
std::string SystemDirectory();

}  // namespace quillax::platform
