// Shell services of the set-up tool: special folders, shortcuts with a hot key, the fonts
// folder, the component registration tool, and the folders that must never be deleted whole.
//
// Paths come and go in the program's form (GBK text, "\" between the parts), as in
// platform/files.h and platform/program_location.h.
//
// Windows uses the shell itself: SHGetSpecialFolderPathA, the shell-link object (IShellLinkA
// saved through IPersistFile), regsvr32.exe of the system directory. Linux stands in with the
// freedesktop conventions:
//  - Programs is $XDG_DATA_HOME/applications (default ~/.local/share/applications), Fonts is
//    $XDG_DATA_HOME/fonts (default ~/.local/share/fonts); both are created when missing (unless
//    asked not to), as a desktop installer would. Desktop is $XDG_DESKTOP_DIR, or else
//    ~/Desktop (never created).
//  - A shortcut "x.lnk" is the desktop entry "x.desktop" beside it (see ShellLinkFile). The
//    entry launches the target (Type=Application with Exec= for programs, Type=Link with URL=
//    for documents) and keeps what freedesktop has no key for in X-Quillax-* keys: the icon
//    index and the hot key.
//  - Fonts are taken up by running fc-cache on the folder.
//  - The registration tool is the small `regsvr` program built beside the set-up tool, which
//    loads the library and calls its DllRegisterServer / DllUnregisterServer.
//  - The user's locale, where the registry has none, comes from LC_ALL or LANG.
//
// No function throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillax::platform {

// ---- special folders ---------------------------------------------------------------------------

enum class SpecialFolder {
    Desktop,   // CSIDL_DESKTOP (0): the user's desktop directory
    Programs,  // CSIDL_PROGRAMS (2): the Programs folder of the start menu
    Fonts,     // CSIDL_FONTS (20): the system's fonts folder
};

// Whether SpecialFolderPath makes a missing folder (Linux; Windows folders always exist). A
// caller that only removes things from it, such as the uninstall, leaves it missing.
enum class MissingFolder { Create, Leave };

// The folder's path without a trailing "\", or the empty text when the platform has none.
std::string SpecialFolderPath(SpecialFolder folder, MissingFolder missing = MissingFolder::Create);

// ---- shortcuts -----------------------------------------------------------------------------------

// Hot-key modifiers of a shortcut, in the high byte of ShellLink::hotKey (the shell's HOTKEYF_*).
constexpr std::uint16_t kHotKeyShift = 0x0100;
constexpr std::uint16_t kHotKeyControl = 0x0200;
constexpr std::uint16_t kHotKeyAlt = 0x0400;

struct ShellLink {
    std::string target;            // the file the shortcut opens
    std::string arguments;         // empty: none
    std::string workingDirectory;  // empty: none
    std::string description;
    std::string iconPath;          // empty: the target's own icon
    int iconIndex = 0;
    std::uint16_t hotKey = 0;      // virtual key in the low byte, modifiers in the high byte; 0: none
};

// The file that holds the shortcut named linkPath (a path ending in ".lnk"): linkPath itself
// on Windows; on Linux the desktop entry with ".desktop" in place of a final ".lnk" (any case).
// Portable code copies and deletes shortcuts through this name.
std::string ShellLinkFile(std::string_view linkPath);

// Writes the shortcut linkPath (the file ShellLinkFile names), replacing an existing one. The
// directory must exist. False when the shortcut could not be made or saved.
bool CreateShellLink(std::string_view linkPath, const ShellLink& link);

// Reads a shortcut back; nothing when there is none or it cannot be read.
std::optional<ShellLink> ReadShellLink(std::string_view linkPath);

// ---- fonts -----------------------------------------------------------------------------------------

// Makes the system take up the fonts newly placed in fontsFolder, without a window. Windows runs
// the command text FontsFolderCommand(fontsFolder) hidden (WinExec), which opens the fonts
// folder minimised, behind the program's own boxes, so that the shell registers the new files;
// the call does not wait. Linux runs `fc-cache fontsFolder` and waits for it. False when
// the command could not be started.
bool RefreshFonts(std::string_view fontsFolder);

// Windows only: the command text RefreshFonts runs, "start /min " + fontsFolder + " && exit".
// "/min" is an option of start and stands before the folder; after it, it would reach the folder
// window, which would then open in front of the program's closing box.
std::string FontsFolderCommand(std::string_view fontsFolder);

// ---- component registration --------------------------------------------------------------------

// The program that registers (arguments "/s" and the library path) and unregisters ("/u",
// "/s", path) an in-process component library: systemDirectory + "\regsvr32.exe" on Windows
// (configDirectory is not used). On Linux the `regsvr` tool: the one beside the running program,
// or else the one of the installation, in configDirectory (where a Linux installation keeps its
// programs, as a Windows installation keeps envoke.exe), so that a copy of the set-up tool
// running elsewhere, such as the uninstall's copy in the installation root, finds it too
// (systemDirectory is not used). The file may be missing; starting it then fails.
std::string RegistrationToolPath(std::string_view systemDirectory, std::string_view configDirectory);

// The registration tool of the system's 64-bit view, for the 64-bit engine library that a 32-bit
// installation keeps beside its own (cfg\x64\quillax.dll) for 64-bit hosts: from a 32-bit
// program on 64-bit Windows the regsvr32 of the real system directory (reached through
// "Sysnative", which the 32-bit file system view would otherwise redirect), from a 64-bit program
// systemDirectory + "\regsvr32.exe". Empty where there is no second view: 32-bit Windows, Linux.
std::string RegistrationTool64Path(std::string_view systemDirectory);

// The file name of a program of the product as this platform names program files, from its
// Windows name: "Envoke.exe" stays itself on Windows; Linux programs have no extension
// ("envoke").
std::string ProgramFileName(std::string_view windowsName);

// ---- locale ------------------------------------------------------------------------------------------

// The user's locale as a Windows locale identifier text ("00000804"), for a system whose
// registry does not hold the value "Locale" of HKEY_CURRENT_USER\Control Panel\International.
// Windows: nothing (the registry is the only source). Linux: from LC_ALL, or else LANG: a
// Chinese locale of Taiwan, Hong Kong or Macau ("zh_TW...", "zh_HK...", "zh_MO...") gives
// "00000404", "00000C04" or "00001404" (traditional Chinese); every other value, and no value,
// gives "00000804" (simplified Chinese).
std::optional<std::string> LocaleWithoutRegistry();

// ---- protected folders ---------------------------------------------------------------------------

// Folders that a deletion of a whole directory tree must never take, neither themselves nor a
// directory that contains them: the user's home and profile folders, the special folders of the
// shell and the system's own folders. Windows: the Windows and system directories, both Program
// Files folders (the 32-bit one and the native 64-bit one of a 64-bit system), the profile and
// the folders above it, the shell's user folders (Desktop, Documents, Music, Pictures, Videos,
// Downloads, Favorites, Templates, Start Menu, Application Data, Fonts) and their all-users
// counterparts. Linux: $HOME, its user folders (Desktop, Documents, Downloads, Music, Pictures,
// Public, Templates, Videos: as user-dirs.dirs or the XDG_*_DIR variables name them, and under
// their English names), the XDG base folders, the top-level system directories such as /usr,
// /etc and /home, and the stand-in system directory with the folder above it. Each in the
// program's form, without a trailing "\". Filesystem roots are listed by FilesystemRoots.
std::vector<std::string> ProtectedFolders();

// The roots of the mounted filesystems, in the program's form: Windows the drive roots ("C:\",
// ...); Linux "\" and every mount point. A directory that is one, or holds one, is never deleted
// whole. (Windows drive and UNC share roots are also told by their form alone.)
std::vector<std::string> FilesystemRoots();

}  // namespace quillax::platform
