// Undoing an installation: the full uninstall, the clearing of the component registration and
// the hand-off of an uninstall to a copy of the tool.
#pragma once

#include <string_view>

#include "setup/setup_session.h"
#include "setup/shortcuts.h"
#include "textlib/gb_string.h"

namespace quillax {

extern const char kUninstallDoneMessage[];       // "已经完成卸载!"
extern const char kUninstallCancelledMessage[];  // "您已撤消了卸载操作!"
// Start of the message of an uninstall that was refused because the configuration directory
// is not one that may be deleted; the directory and the reason follow.
extern const char kUninstallRefusedMessage[];

// The warning asked before an uninstall, by locale column (see LocaleTable): simplified Chinese
// in GBK, traditional Chinese in Big5, English otherwise.
struct UninstallWarning {
    std::string_view caption;
    std::string_view text;
};
const UninstallWarning& UninstallWarningFor(int locale);

// Why a configuration directory must not be deleted whole, or the empty text when it may: it
// must be named, must not be a filesystem root, nor one of the platform's protected folders
// (home, profile, shell and system folders) or a directory that contains one, and it must hold
// "bible.ini". The directory is compared by its real location (links and ".." resolved where it
// exists) and without regard to ASCII case.
GbString UninstallRefusal(std::string_view configDirectory);

// Asks for confirmation (the warning of the user's locale, Yes/No/Cancel) and on Yes removes,
// in this order: the component's registration (UnregisterComponent), the registry key
// HKEY_CURRENT_USER\Software\quillax, the configuration directory (DeleteTree), in the
// installation root the trees "midi" and "update" and the product's files there ("Tessaly.chm"
// for the product names of the locale table, "corvex.chm", "tessaly.chm", "随笔.htm",
// "nmad.txt", "txconv.exe", "envoke.exe"), the desktop shortcuts and the start-menu folder of
// the product. The installation root and everything else in it stay. A configuration directory
// that UninstallRefusal rejects is not touched and nothing is asked.
void Uninstall(SetupSession& session);
// The same with the shortcuts looked for in the given folders.
void Uninstall(SetupSession& session, const ShortcutFolders& folders);

// Unregisters the engine component and deletes HKEY_CURRENT_USER\Software\quillax with all its
// subkeys, so that an upgrade can replace the component. Sets no message text.
void ClearRegistration(SetupSession& session);

// Deletes the directory tree at path: every entry whose attributes are exactly "directory" is
// emptied and removed in turn; every other entry (a file, or a directory with further
// attributes such as hidden or read-only, or a link to a directory elsewhere) gets its
// attributes cleared and is deleted as a file, which fails for a directory, so such a directory
// stays and so do the directories above it. A path that is itself a link to a directory
// elsewhere loses the link only. Returns whether path itself was removed.
bool DeleteTree(std::string_view path);

// The second half of the uninstall hand-off, for a tool started from the configuration
// directory, which the uninstall deletes: copies the running program to installation root +
// "Envoke.exe" (an existing copy is kept), makes the copy disappear once this process and the
// copy's run have ended, starts it with "-uninstall" in the installation root (the current
// directory of the copy), and waits 400 ms. The copy, started outside the configuration
// directory, uninstalls directly. When the copy cannot be started the message text is
// "错误码:" and the system's error number; otherwise the show flag is cleared.
void StartUninstallCopy(SetupSession& session);

}  // namespace quillax
