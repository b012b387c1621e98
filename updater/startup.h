// Start-up of the updater: the command line, the installation directory, the manifest URL,
// the installed engine label and the relaunch out of the installation's "update" directory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {

// The command line is scanned for at most this many characters.
constexpr std::size_t kCommandLineScanLimit = 128;
// The manifest URL read from bible.ini is at most this long.
constexpr int kManifestUrlLimit = 255;
// Used when bible.ini names no manifest URL.
inline constexpr char kDefaultManifestUrl[] = "http://update.tessaly.example/cvupdate/update.ini";

// The words of the command line (the text after the program name), split at blanks: each
// blank ends a word and the character after it always starts the next one (two blanks give a
// word that starts with a blank); the word that reaches the end of the text counts too, but
// a word not ended within the first 128 characters is dropped.
std::vector<GbString> SplitCommandLine(std::string_view text);

struct ManifestUrl {
    bool http = false;  // the scheme is "http"
    GbString server;
    GbString objectPath;  // from the first "/" after the server ("/" when there is none)
    unsigned port = 80;
};

// Parses "http://server[:port]/object" (user name and password before "@" are skipped). Any
// other scheme, a missing server or a port outside 1..65535 gives http = false.
ManifestUrl ParseManifestUrl(std::string_view url);

struct StartupSettings {
    GbString productName;           // word 1: the program that must not run during the update
    GbString versionText;           // word 2
    GbString manifestUrl;           // word 3
    GbString installDir;            // ends in a separator; empty when three words were given
    GbString configFile;            // the bible.ini whose UPDATEURL was read (empty with three words)
    GbString installedEngineLabel;  // empty when three words were given
    bool fromCommandLine = false;   // three or more words were given
};

// The words of the command line, completed from the registry and bible.ini when fewer than
// three were given: the installation directory from HKEY_CURRENT_USER\Software\quillax (or,
// without it, the working directory cut at "update"), the manifest URL from "UPDATEURL" of
// section "config" (or the default), and the version label of the registered engine library.
StartupSettings ReadStartupSettings(std::string_view commandLine, std::string_view workingDir);

// True when the program runs from the installation's "update" directory: ownDir begins with
// installDir + "update\" (ASCII case and the two separators not told apart).
bool RunsFromUpdateDirectory(std::string_view ownDir, std::string_view installDir);

// The relaunch: makes the installation directory the working directory, copies the program
// there (an existing copy is kept), arranges for the copy to disappear once it is no longer
// used, starts it with `arguments` (waiting for it to end when waitForCopy is set, as the
// console program does) and waits 400 ms. Returns whether the copy was started; when not, the
// system's error code is in *errorCode, for the line "错误码: <code>" on standard output.
bool RelaunchFromInstallation(std::string_view executablePath, std::string_view installDir,
                              const std::vector<std::string>& arguments, bool waitForCopy,
                              std::uint32_t* errorCode);

}  // namespace quillax
