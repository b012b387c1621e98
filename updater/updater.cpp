#include "updater/updater.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sha256.h"
#include "textlib/registry_text.h"
#include "textlib/text_helpers.h"
#include "updater/archive.h"
#include "updater/bible_ini_merge.h"
#include "updater/labels.h"
#include "updater/profile_file.h"
#include "updater/texts.h"

namespace quillax {
namespace {

// A directory written with a trailing separator or empty (the working directory) exists.
bool DirectoryPresent(const GbString& directory) {
    return directory.IsEmpty() || platform::DirectoryExists(directory.view());
}

// The existence test of the decision: true only for a missing file whose directory exists
// ("file not found"); a missing directory ("path not found") does not count.
bool FileNotFound(const GbString& localPath) {
    return !platform::PathExists(localPath.view()) && DirectoryPresent(DirectoryWithSeparator(localPath.view()));
}

// The entry name compared with a fixed name over the length of the entry name, without regard
// to case ("ENVOKE.EXE" matches "Envoke.exe").
bool NameMatches(const GbString& name, std::string_view fixedName) {
    return !name.IsEmpty() && name.size() <= fixedName.size() &&
           EqualsIgnoringCase(name.view(), fixedName.substr(0, name.size()));
}

// Whether writing or deleting at `path` would reach through a link out of `directory` (one that
// does not exist has no links: what is written there fails on its own).
bool LeadsOutOf(std::string_view path, std::string_view directory) {
    return platform::PathExists(directory) && !platform::StaysWithin(path, directory);
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

bool ProfileTooLarge(const platform::HttpResponseHead& head, std::uint64_t received) {
    return received > kProfileDownloadLimit ||
           (head.contentLength && *head.contentLength > kProfileDownloadLimit);
}

UpdateEntry ReadUpdateEntry(std::string_view manifestText, std::string_view section) {
    return ReadUpdateEntry(ProfileText{std::string(manifestText)}, section);
}

UpdateEntry ReadUpdateEntry(const ProfileText& profile, std::string_view section) {
    UpdateEntry entry;
    entry.name = GbString(section);
    struct Field {
        const char* key;
        GbString* value;
        bool seen;
    };
    GbString sizeText;
    Field fields[] = {{"UpdateFile", &entry.updateFile, false}, {"Version", &entry.version, false},
                      {"FileDateTime", &entry.fileDateTime, false},
                      {"TargetPath", &entry.targetPath, false}, {"Sha256", &entry.sha256, false},
                      {"Language", &entry.language, false}, {"ForOS", &entry.forOs, false},
                      {"Size", &sizeText, false}};
    for (const GbString& line : profile.SectionLines(section)) {
        const int equals = line.Find("=");
        if (equals < 0) {
            continue;
        }
        const std::string_view key = line.Slice(0, equals);
        for (Field& field : fields) {
            if (!field.seen && EqualsIgnoringCase(key, field.key)) {
                field.value->Assign(line.Slice(equals + 1));
                field.seen = true;
            }
        }
    }
    entry.size = ToInt(sizeText.view());
    return entry;
}

GbString SafeTargetPath(std::string_view targetPath) {
    return ContainedPath(CleanEntryName(targetPath));
}

GbString DownloadName(std::string_view updateFile) {
    return NamePart(updateFile);
}

GbString HelpShortcutName(std::string_view locale) {
    if (locale == "00000804") {
        return GbString("Tessaly");  // simplified Chinese
    }
    // The value is looked for inside the list of traditional Chinese locales, the same test
    // the set-up tool makes when it names its start-menu folder, so both name it alike.
    if (std::string_view("00001004,00000404,00000C04,00001404").find(locale) != std::string_view::npos) {
        return GbString("Tessaly");  // traditional Chinese (the same letters in Big5)
    }
    return GbString("tessaly");
}

Updater::Updater(UpdateFront& front, platform::HttpConnection& connection, UpdaterSetup setup)
    : front_(front), connection_(connection), setup_(std::move(setup)) {
    startProgram = [](const GbString& program, const std::vector<std::string>& arguments) {
        platform::StartProgram(program.view(), arguments, false);
    };
    readLocale = [] {
        return ReadRegistryText(platform::RegistryRoot::CurrentUser, "Control Panel\\International",
                                "Locale");
    };
}

GbString Updater::DownloadDirectory() const { return setup_.ownDir + "update\\"; }

GbString Updater::InstallationDirectory() const {
    return setup_.installDir.IsEmpty() ? GbString(".") : setup_.installDir;
}

bool Updater::RunEntries(bool apply) {
    cancelled_ = false;
    pendingSetupTool_.reset();
    const ProfileText manifest = ProfileText::Load(setup_.manifestCopy.view());
    bool needed = false;
    for (const GbString& section : manifest.SectionNames()) {
        if (front_.CancelRequested()) {
            cancelled_ = true;
        }
        if (cancelled_) {
            break;
        }
        if (EvaluateEntry(manifest, section, apply)) {
            needed = true;
        }
    }
    FinishPass();
    return needed;
}

void Updater::FinishPass() {
    // Started in the middle of the pass, the set-up tool would index modules that later
    // entries are still replacing.
    if (pendingSetupTool_ && startProgram) {
        startProgram(*pendingSetupTool_, {"-q"});
    }
    pendingSetupTool_.reset();
}

bool Updater::EvaluateEntry(const GbString& section, bool apply) {
    return EvaluateEntry(ProfileText::Load(setup_.manifestCopy.view()), section, apply);
}

bool Updater::EvaluateEntry(const ProfileText& manifest, const GbString& section, bool apply) {
    const UpdateEntry entry = ReadUpdateEntry(manifest, section.view());

    const GbString targetPath = SafeTargetPath(entry.targetPath.view());
    const GbString targetDir =
        targetPath.IsEmpty() ? setup_.installDir : setup_.installDir + targetPath + "\\";
    const GbString localPath = targetDir + section;

    bool needed = false;
    if (section.Find(".dll") >= 0) {
        // Only the engine library has a version rule. Its label is the registered one's; the
        // 64-bit engine that a 32-bit installation keeps for 64-bit hosts (TargetPath cfg\x64)
        // is registered in the other view, so its own file's label counts.
        if (section == "quillax.dll") {
            GbString target(targetPath);
            target.MakeLower();
            const GbString installed =
                target == "cfg\\x64" ? ReadVersionLabel(localPath.view()) : setup_.installedEngineLabel;
            needed = entry.version.Greater(installed.view());
        }
    } else if (section.Find(".exe") >= 0) {
        if (!entry.version.IsEmpty()) {
            needed = entry.version.Greater(ReadVersionLabel(localPath.view()).view());
        }
    }
    // A date decides alone, in both directions.
    if (!entry.fileDateTime.IsEmpty()) {
        needed = entry.fileDateTime.Greater(ReadFileDateLabel(localPath.view()).view());
    }
    if (FileNotFound(localPath)) {
        needed = true;
    }

    // The configuration file is fetched and merged in every check, listed or not.
    if (section.Find("bible.ini") >= 0 && !apply) {
        DownloadAndInstall(entry.updateFile.view(), targetDir.view(), entry.sha256.view());
        if (cancelled_) {
            return needed;
        }
    }

    if (!needed) {
        return false;
    }
    if (!apply) {
        front_.AddLine(section.view());
        // The target directory is made now (one level), so that the apply pass can unpack
        // into it; never below a link that leads out of the installation.
        if (!targetPath.IsEmpty() && !platform::DirectoryExists(targetDir.view())) {
            const GbString parent = DirectoryWithSeparator(targetPath.view());
            if (DirectoryPresent(setup_.installDir + parent) &&
                !LeadsOutOf(targetDir.view(), InstallationDirectory().view())) {
                platform::MakeDirectories((setup_.installDir + targetPath).view());
            }
        }
    } else {
        InstallEntry(entry, targetDir, localPath);
    }
    return true;
}

void Updater::InstallEntry(const UpdateEntry& entry, const GbString& targetDir,
                           const GbString& localPath) {
    front_.AddLine((updater_text::kLineUpdating + entry.name + updater_text::kLineUpdatingEnd).view());
    if (!DownloadAndInstall(entry.updateFile.view(), targetDir.view(), entry.sha256.view())) {
        return;  // its line says why; nothing of the entry was installed
    }
    if (NameMatches(entry.name, "corvex.chm")) {
        const GbString name = HelpShortcutName(readLocale ? readLocale().view() : std::string_view());
        HelpShortcut shortcut;
        shortcut.linkPath = name + "\\" + name + ".lnk";
        shortcut.target = localPath;
        shortcut.workingDirectory = DirectoryWithSeparator(localPath.view());
        shortcut.iconFile = setup_.installDir + "cfg\\envoke.exe";
        shortcut.iconIndex = 0;
        shortcut.description = name;
        shortcut.hotKey = 0x0642;
        if (createHelpShortcut) {
            createHelpShortcut(shortcut);
        }
    }
    if (NameMatches(entry.name, "Envoke.exe")) {
        pendingSetupTool_ = localPath;  // started when the pass has ended
    }
    front_.AddLine((localPath + updater_text::kLineUpdated).view());
}

bool Updater::DownloadAndInstall(std::string_view updateFile, std::string_view targetDir,
                                 std::string_view sha256) {
    const GbString name = DownloadName(updateFile);
    const GbString downloadPath = DownloadDirectory() + name;
    const GbString partPath = downloadPath + ".upg";
    const bool configuration = name.Find("bible.ini") >= 0;
    const auto failLine = [this](const GbString& subject, std::string_view text) {
        front_.AddLine((subject + text).view());
        return false;
    };

    // Never write or delete through a link that leads out of the installation.
    const std::string_view ownDir = setup_.ownDir.IsEmpty() ? std::string_view(".") : setup_.ownDir.view();
    if (LeadsOutOf(DownloadDirectory().view(), ownDir)) {
        return failLine(DownloadDirectory(), updater_text::kLineLinkOutside);
    }
    if (LeadsOutOf(targetDir.empty() ? std::string_view(".") : targetDir, InstallationDirectory().view())) {
        return failLine(GbString(targetDir), updater_text::kLineLinkOutside);
    }
    // A part left by an earlier transfer goes first (were it a link, the download would be
    // written through it).
    if (platform::PathExists(partPath.view())) {
        platform::RemoveFile(partPath.view());
    }

    bool tooLarge = false;
    platform::HttpCallbacks callbacks;
    callbacks.onHead = [&](const platform::HttpResponseHead& head) {
        front_.SetStatus((updater_text::kStatusDownloading + GbString(updateFile)).view());
        if (configuration && ProfileTooLarge(head, 0)) {
            tooLarge = true;
            return false;
        }
        if (head.status == 404) {
            front_.SetStatus((GbString(updateFile) + updater_text::kStatusNotFound).view());
            return false;
        }
        return true;
    };
    callbacks.onRead = [&](std::uint64_t received, const platform::HttpResponseHead& head) {
        if (!configuration && head.contentLength && *head.contentLength > 0) {
            const std::uint64_t percent = received * 100 / *head.contentLength;
            front_.SetProgress(static_cast<int>(percent > 100 ? 100 : percent));
        }
        if (configuration && ProfileTooLarge(head, received)) {
            tooLarge = true;
            return false;
        }
        front_.ProcessPendingMessages();
        return !front_.CancelRequested();
    };
    const platform::HttpTransfer transfer = connection_.GetToFile(updateFile, partPath.view(), callbacks);
    if (tooLarge) {
        platform::RemoveFile(partPath.view());
        return failLine(GbString(updateFile), updater_text::kLineTooLarge);
    }
    if (transfer.outcome != platform::HttpOutcome::Saved && platform::PathExists(partPath.view())) {
        platform::RemoveFile(partPath.view());  // what arrived of a failed transfer is of no use
    }
    switch (transfer.outcome) {
        case platform::HttpOutcome::Saved:
            break;
        case platform::HttpOutcome::Declined:
            return failLine(GbString(updateFile), updater_text::kStatusNotFound);
        case platform::HttpOutcome::SendFailed:
            front_.ShowMessage(transfer.errorText, MessageIcon::None);
            return false;
        case platform::HttpOutcome::FileFailed:
            front_.ShowMessage((updater_text::kMessageWriteFailed + downloadPath +
                                (transfer.diskFull ? updater_text::kMessageDiskFullEnd
                                                   : updater_text::kMessageWriteFailedEnd)).view(),
                               MessageIcon::Stop);
            return false;
        case platform::HttpOutcome::ReadFailed:
            // This entry fails; the pass goes on with the next.
            return failLine(GbString(updateFile) + updater_text::kLineDownloadFailed, transfer.errorText);
        case platform::HttpOutcome::Cancelled:
            cancelled_ = true;
            return false;
    }

    if (platform::FileExists(downloadPath.view())) {
        platform::RemoveFile(downloadPath.view());
    }
    if (!platform::RenamePath(partPath.view(), downloadPath.view())) {
        return false;
    }

    const std::string_view expected = TrimBlanks(sha256);
    if (!expected.empty()) {
        const auto bytes = platform::ReadWholeFile(downloadPath.view());
        const auto digest = bytes ? platform::Sha256Hex(*bytes) : std::nullopt;
        if (!digest || !EqualsIgnoringCase(*digest, expected)) {
            platform::RemoveFile(downloadPath.view());
            return failLine(GbString(updateFile), updater_text::kLineDigestMismatch);
        }
    }

    bool complete = true;
    if (name.Find(".zip") >= 0) {
        const ExtractSummary summary = ExtractArchive(downloadPath.view(), targetDir);
        if (!summary.opened) {
            complete = failLine(GbString(updateFile), updater_text::kLineArchiveUnreadable);
        }
        for (const GbString& entryName : summary.failedNames) {
            complete = failLine(GbString(updater_text::kLineEntryNotUnpacked), entryName.view());
        }
    } else if (configuration) {
        MergeBibleIni((GbString(targetDir) + "bible.ini").view(), downloadPath.view(), &front_);
    }
    platform::RemoveFile(downloadPath.view());
    if (complete) {
        front_.SetStatus(updater_text::kStatusDownloadDone);
    }
    return complete;
}

}  // namespace quillax
