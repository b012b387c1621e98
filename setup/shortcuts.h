// Shortcuts of the installation: the main shortcut (with its hot key), the desktop copy of it,
// the updater shortcut and the uninstall shortcut.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/shell.h"
#include "setup/setup_session.h"
#include "textlib/gb_string.h"

namespace quillax {

// The hot key of the main shortcut: "B" (0x42) with Ctrl (0x02) and Alt (0x04) in the high
// byte, Ctrl+Alt+B.
constexpr std::uint16_t kMainHotKey = 0x0642;

// Writes the shortcut `link` to `target`: the description and the hot key (0: none) always,
// the arguments and the icon (path and index) only when they are not empty. The directory that
// contains the link is created when missing (only that one level: the folder above it must
// exist). The working directory is the target's directory. Failures are ignored.
void CreateShortcut(std::string_view target, std::string_view link, std::string_view icon,
                    int iconIndex, std::string_view description, std::uint16_t hotKey,
                    std::string_view arguments);

// The two shell folders the shortcuts go to, without a trailing "\".
struct ShortcutFolders {
    GbString programs;  // the start menu's Programs folder
    GbString desktop;   // the user's desktop

    // The folders of this user as the platform names them; with MissingFolder::Leave a
    // missing start menu is not made (for callers that only remove shortcuts).
    static ShortcutFolders OfPlatform(platform::MissingFolder missing = platform::MissingFolder::Create);
};

// The program the uninstall shortcut starts: the set-up tool of the installation,
// configuration directory + "Envoke.exe" (as the platform names the program file: "envoke" on
// Linux), or, when the installation holds none there, the running set-up tool itself.
GbString UninstallProgram(const SetupSession& session);

// The shortcuts of an installation run for the locale column `locale` (see LocaleTable):
//  - with a Chinese locale (0 or 1), in the folder Programs\<product name>: the main shortcut
//    "<product name>.lnk" to the help file installation root + "<help base name>.chm" (icon 0
//    of configuration directory + "envoke.exe", hot key Ctrl+Alt+B), the updater shortcut
//    "<update shortcut name>.lnk" to installation root + "update\cvupdate.exe" (the program
//    file as the platform names it), and the uninstall shortcut "<uninstall shortcut
//    name>.lnk" to UninstallProgram with the argument "-uninstall" (icon 1 of the same file);
//  - the main shortcut copied to the desktop, where an existing shortcut is kept.
// With any other locale nothing is created (the desktop copy has no source).
void CreateProductShortcuts(const SetupSession& session, int locale, const ShortcutFolders& folders);

}  // namespace quillax
