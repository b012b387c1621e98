// Undoing an installation: the full uninstall, the clearing of the component registration and
// the hand-off of an uninstall to a copy of the tool.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "setup/setup_session.h"
#include "setup/shortcuts.h"
#include "textlib/gb_string.h"

namespace quillax {

extern const char kUninstallDoneMessage[];       // "已经完成卸载!"
extern const char kUninstallCancelledMessage[];  // "您已撤消了卸载操作!"
// The messages of ClearRegistration.
extern const char kRegistrationClearedMessage[];
extern const char kNothingRegisteredMessage[];
extern const char kUnregistrationFailedMessage[];  // followed by the tool's exit code
// Start of the message of an uninstall that was refused because the configuration directory
// or the installation root is not one that may be deleted; the directory and the reason follow.
extern const char kUninstallRefusedMessage[];

// The warning asked before an uninstall, by locale column (see LocaleTable): simplified Chinese
// in GBK, traditional Chinese as the system shows it (Big5 bytes where its code page is Big5,
// GBK elsewhere), English otherwise.
struct UninstallWarning {
    std::string_view caption;
    std::string_view text;
};
const UninstallWarning& UninstallWarningFor(int locale);

// The places an uninstall never deletes from: filesystem roots and the protected folders of the
// user and the system (platform/shell.h), none of them nor a directory that holds one.
struct ProtectedPlaces {
    std::vector<std::string> roots;    // roots besides those told by their form ("\", "C:\")
    std::vector<std::string> folders;  // home, profile, user, shell and system folders

    // The places of this machine and user.
    static ProtectedPlaces OfPlatform();
};

// Why the uninstall of the installation whose configuration directory this is must not go ahead,
// or the empty text when it may. Both the configuration directory (deleted whole) and the
// installation root (where "midi", "update" and the product's files are deleted) must not be a
// filesystem root, one of the protected folders, or a directory that holds one of them; the
// configuration directory must hold "bible.ini" and be named "cfg", so that the root is the
// directory above it. Directories are compared as named and by their real location (links and
// ".." resolved), without regard to ASCII case. The text names the directory and the reason.
GbString UninstallRefusal(std::string_view configDirectory,
                          const ProtectedPlaces& places = ProtectedPlaces::OfPlatform());

// Sets the message text of a refused uninstall (kUninstallRefusedMessage and the reason) and
// returns true when UninstallRefusal refuses the session's configuration directory.
bool RefuseUninstall(SetupSession& session, const ProtectedPlaces& places);

// Asks for confirmation (the warning of the user's locale, Yes/No/Cancel) and on Yes removes,
// in this order: the component's registration (UnregisterComponent), the registry key
// HKEY_CURRENT_USER\Software\quillax, the configuration directory (DeleteTree), in the
// installation root the trees "midi" and "update" and the product's files there ("Tessaly.chm"
// for the product names of the locale table, "corvex.chm", "tessaly.chm", "随笔.htm",
// "nmad.txt", "txconv.exe", "envoke.exe"), the desktop shortcuts and the start-menu folder of
// the product. The installation root and everything else in it stay. An installation that
// UninstallRefusal rejects is not touched and nothing is asked.
void Uninstall(SetupSession& session);
// The same with the shortcuts looked for in the given folders and the given protected places.
void Uninstall(SetupSession& session, const ShortcutFolders& folders, const ProtectedPlaces& places);

// Unregisters the engine component and deletes HKEY_CURRENT_USER\Software\quillax with all its
// subkeys, so that an upgrade can replace the component. The message text says what was done:
// the component unregistered, none registered, or the registration tool's failure.
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
