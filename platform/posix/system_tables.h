// Readers of two small tables of a Linux system that the shell layer uses to protect folders:
// the kernel's table of mounted filesystems and the user's table of user folders.
//
// Both take the text of the table and never fail: lines they cannot read are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillax::platform::posix {

// The mount points of /proc/self/mountinfo (the fifth field of each line, where a blank, a tab,
// a line feed and "\" are written as "\" and three octal digits), as system paths, in table
// order. Only absolute paths count; the root "/" is left out.
std::vector<std::string> MountPointsOf(std::string_view mountInfo);

// One entry of user-dirs.dirs: the variable and the folder's English default name in the home
// folder.
struct UserFolderKey {
    const char* variable;     // e.g. "XDG_DOCUMENTS_DIR"
    const char* englishName;  // e.g. "Documents"
};
// The user folders of the freedesktop convention: Desktop, Documents, Downloads, Music,
// Pictures, Public, Templates, Videos.
extern const UserFolderKey kUserFolderKeys[8];

// The folders that user-dirs.dirs names for `variable`: each line that starts with the
// variable, "=" and a double quote gives the text up to the next double quote, with a leading
// "$HOME/" replaced by home + "/" (so "$HOME/文档" names the translated Documents folder).
// Commented lines ("#...") and lines without the closing quote give nothing.
std::vector<std::string> UserDirsFolders(std::string_view userDirs, std::string_view variable,
                                         std::string_view home);

}  // namespace quillax::platform::posix
