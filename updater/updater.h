// The update logic: the decision for each manifest entry, the download and installation of an
// entry, and the passes over all entries.
//
// The local copy of the manifest lists one entry per section; the section name is the local
// file name. An entry's keys: "UpdateFile" (object path on the manifest's server; its last
// part is the download's name), "Version", "FileDateTime", "TargetPath" (sub-directory of the
// installation directory), "Sha256" (optional hex digest of the download), and "Language",
// "ForOS", "Size", which are read but not used.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http.h"
#include "textlib/gb_string.h"
#include "updater/front.h"

namespace quillax {

class ProfileText;

// The manifest and a downloaded bible.ini are profiles of a few kilobytes: a server that sends
// more than this is refused before the file is read.
constexpr std::uint64_t kProfileDownloadLimit = 4 * 1024 * 1024;

// Whether a transfer of a profile has passed kProfileDownloadLimit (by its announced length or
// by what has arrived).
bool ProfileTooLarge(const platform::HttpResponseHead& head, std::uint64_t received);

// One section of the manifest, as EvaluateEntry reads it.
struct UpdateEntry {
    GbString name;  // the section name: the local file name
    GbString updateFile;
    GbString version;
    GbString fileDateTime;
    GbString targetPath;
    GbString sha256;
    GbString language;
    GbString forOs;
    int size = 0;
};

// Reads the entry `section` of a manifest text (section lines bounded as the manifest reader's
// buffer bounds them; key names compared without regard to case; a line without "=" skipped).
UpdateEntry ReadUpdateEntry(std::string_view manifestText, std::string_view section);
// The same from a manifest parsed once for all its entries.
UpdateEntry ReadUpdateEntry(const ProfileText& manifest, std::string_view section);

// TargetPath as a relative path that stays inside the installation directory (drive prefixes,
// leading separators, "." and ".." parts dropped).
GbString SafeTargetPath(std::string_view targetPath);

// The download's local name: the part of UpdateFile after its last "/" (or "\").
GbString DownloadName(std::string_view updateFile);

// The start-menu shortcut to the help file that an update of "corvex.chm" creates.
struct HelpShortcut {
    GbString linkPath;          // relative to the user's start-menu programs folder: name\name.lnk
    GbString target;            // the help file
    GbString workingDirectory;  // the help file's directory
    GbString iconFile;          // installation directory + "cfg\envoke.exe"
    int iconIndex = 0;
    GbString description;       // the name
    std::uint16_t hotKey = 0x0642;  // Ctrl+Alt+B
};

// The shortcut name for a locale value of HKEY_CURRENT_USER\Control Panel\International
// ("Locale"): "Tessaly" for "00000804" and for a value found inside
// "00001004,00000404,00000C04,00001404" (the traditional Chinese locales; an empty value is
// found too), "tessaly" otherwise.
GbString HelpShortcutName(std::string_view locale);

struct UpdaterSetup {
    GbString installDir;            // ends in a separator; empty: paths relative to the working directory
    GbString ownDir;                // the program's directory, ending in a separator
    GbString manifestCopy;          // the local manifest copy (temporary directory + "cvupdate.ini")
    GbString installedEngineLabel;  // version label of the registered engine library
};

class Updater {
public:
    Updater(UpdateFront& front, platform::HttpConnection& connection, UpdaterSetup setup);

    // Decides whether the entry `section` of the manifest copy needs updating; in the check
    // pass (apply = false) lists it, in the apply pass installs it.
    bool EvaluateEntry(const GbString& section, bool apply);
    // The same with the manifest copy already parsed (a pass parses it once for all entries).
    bool EvaluateEntry(const ProfileText& manifest, const GbString& section, bool apply);

    // Downloads updateFile into ownDir + "update\" and installs it into targetDir (a ".zip" is
    // unpacked, a bible.ini merged). With a digest given, a download whose SHA-256 differs is
    // not installed. True when the file was downloaded and processed whole. Nothing is written
    // or deleted through a download or target folder that is a link leading out of ownDir or
    // the installation directory. A download that breaks off (short body, reset, time-out) or
    // fills the disk leaves no partial file and the installed files as they were; so does
    // Cancel, which also ends the running pass (PassCancelled()). Every failure is told: a
    // list line (404, a broken download, a link, an archive or entry that could not be
    // unpacked, a digest mismatch) or a message (the request could not be sent, the download
    // file could not be written).
    bool DownloadAndInstall(std::string_view updateFile, std::string_view targetDir,
                            std::string_view sha256 = {});

    // EvaluateEntry over every section of the manifest copy in file order; the OR of the
    // results. One failed entry does not stop the others. Cancel (UpdateFront::CancelRequested)
    // ends the pass before the next entry or at the next read of a download; the entries
    // finished so far stay. The set-up tool that a replaced "Envoke.exe" asks for is started
    // once, when the pass has ended, cancelled or not (FinishPass).
    bool RunEntries(bool apply);
    bool PassCancelled() const { return cancelled_; }
    // Starts the set-up tool ("-q") when an entry of the pass replaced it, and forgets it.
    void FinishPass();

    const UpdaterSetup& Setup() const { return setup_; }
    GbString DownloadDirectory() const;

    // Seams. createHelpShortcut: writes the shortcut (default: none is written). startProgram:
    // starts a program without waiting (default: platform StartProgram). readLocale: the
    // user's locale value (default: the registry).
    std::function<void(const HelpShortcut&)> createHelpShortcut;
    std::function<void(const GbString& program, const std::vector<std::string>& arguments)> startProgram;
    std::function<GbString()> readLocale;

private:
    void InstallEntry(const UpdateEntry& entry, const GbString& targetDir, const GbString& localPath);
    // The installation directory as a path to compare with ("." when paths are relative).
    GbString InstallationDirectory() const;

    UpdateFront& front_;
    platform::HttpConnection& connection_;
    UpdaterSetup setup_;
    bool cancelled_ = false;
    // The set-up tool to start when the pass has ended (a replaced "Envoke.exe").
    std::optional<GbString> pendingSetupTool_;
};

}  // namespace quillax
