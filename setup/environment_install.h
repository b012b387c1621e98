// The installation run of the set-up tool, what it does when started without an action, and
// the registration of the engine component that the uninstall shares.
#pragma once

#include "setup/setup_session.h"

namespace quillax {

// The completion text of an installation run, shown only when the fonts folder cannot be
// opened (see InstallFonts).
extern const char kCompletionText[];

// Prepares the run-time environment of the installation in session.configDirectory, in this
// order, no step stopping the sequence:
//  1. with re-registration, and only when the configuration directory holds "quillax.dll":
//     the engine library of an old version in the system directory is deleted and the
//     registered component is unregistered (UnregisterComponent);
//  2. RegisterComponent;
//  3. PrepareModules (main text derivation and every module index);
//  4. the shortcuts of the user's locale (CreateProductShortcuts);
//  5. the fonts (InstallFonts) into session.fontDirectory, or, where the platform has no system
//     directory (Linux without QUILLAX_SYSTEM_DIR), into the shell's Fonts folder;
//  6. the message text becomes the closing notice of the locale (ClosingNotice).
void InstallEnvironment(SetupSession& session, bool withReregistration);

// Registers configuration directory + "quillax.dll" with the platform's registration tool
// (regsvr32 of the system directory with "/s"; see platform/shell.h) and waits for it; then,
// when the installation holds the 64-bit engine "x64\quillax.dll" for 64-bit hosts and the
// system has a 64-bit view, that library with the 64-bit registration tool. The results are not
// examined.
void RegisterComponent(const SetupSession& session);

// What UnregisterComponent did.
struct Unregistration {
    bool registered = false;  // a library was registered for the class
    bool started = false;     // the registration tool ran
    int exitCode = 0;         // its exit code (0: unregistered)
};

// Unregisters the library registered for the class "quillax.qlx": the class identifier from
// the default value of HKEY_CLASSES_ROOT\quillax.qlx\Clsid, the library from that of
// HKEY_CLASSES_ROOT\CLSID\<identifier>\InprocServer32, then the registration tool with "/u /s"
// and that path, waited for. Nothing happens when either value is missing or empty. Before that,
// the 64-bit engine "x64\quillax.dll" of the installation, when it has one and the system has a
// 64-bit view, is unregistered in that view (whatever the 32-bit view holds).
Unregistration UnregisterComponent(const SetupSession& session);

}  // namespace quillax
