#include "setup/driver.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/bible_import.h"
#include "setup/environment_install.h"
#include "setup/errata.h"
#include "setup/main_text.h"
#include "setup/module_index.h"
#include "setup/text_edit.h"
#include "setup/uninstall.h"
#include "textlib/registry_text.h"
#include "textlib/product_identity.h"

namespace quillax {

const char kClosingCaption[] = "Orvane";
const char kUsageText[] =
    "用法:\nEnvoke [-h|-u|-import <filename> <Keyword>]\n-h\t\t帮助\n-import\t\t导入其它语种圣经库\n"
    "-u\t\t注销Tessaly辅助工具,以备升级\n不设置任何参数时，则进行系统初始化设置。";
const char kMissingFilesMessage[] = "Tessaly系统文件丢失，\n或结构被破坏，\n您只能重新安装本系统！";

namespace {

const char kOutOfMemoryMessage[] = "内存冲突!";
const char kOutOfMemoryCaption[] = "错误";
constexpr std::string_view kProductKey = kInstallationKey;

void OutOfMemory() {
    platform::ShowEmergencyMessage();
    std::_Exit(-1);
}

bool EndsWith(const GbString& text, std::string_view tail) {
    return text.Length() >= static_cast<int>(tail.size()) &&
           text.view().substr(text.size() - tail.size()) == tail;
}

// A word of a Linux command line that is an option written with "/": "/" and one name part
// without extension.
bool IsSlashOptionWord(std::string_view word) {
    if (word.size() < 2 || word.front() != '/') {
        return false;
    }
    return word.find_first_of("/\\.", 1) == std::string_view::npos;
}

void RewriteSlashes(GbString& commandLine, SlashOptions slashes) {
    if (slashes == SlashOptions::AllSlashes) {
        ReplaceAll(commandLine, "/", "-");
        return;
    }
    std::string text(commandLine.view());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (IsSlashOptionWord(std::string_view(text).substr(start, end - start))) {
            text[start] = '-';
        }
        start = end + 1;
    }
    commandLine.Assign(text);
}

// Step of the driver that fills the locations of the run: start directory, configuration
// directory (from the start directory or else the registry). False when no installation is
// found.
bool FindInstallation(SetupSession& session) {
    session.startDirectory = platform::StartDirectory();
    session.configDirectory = session.startDirectory + "\\";
    // Started in a directory named cfg, that is the configuration directory; anywhere else it
    // is the cfg subdirectory.
    if (!EndsWith(session.configDirectory, "\\cfg\\")) {
        session.configDirectory.Append("cfg\\");
    }
    if (!platform::FileExists(session.configDirectory + "bible.ini")) {
        session.configDirectory = ReadRegistryText(platform::RegistryRoot::CurrentUser, kProductKey, "");
        if (session.configDirectory.IsEmpty() ||
            !platform::FileExists(session.configDirectory + "bible.ini")) {
            return false;
        }
    }
    platform::ChangeDirectory(session.configDirectory);
    return true;
}

void FindSystemDirectories(SetupSession& session) {
    session.systemDirectory = platform::SystemDirectory();
    if (session.systemDirectory.IsEmpty()) {
        session.systemComponentPath.Empty();
        session.fontDirectory.Empty();
        return;
    }
    // A stale program of an old version in the system directory goes.
    const GbString staleProgram = session.systemDirectory + "\\quillax.exe";
    if (platform::FileExists(staleProgram)) {
        platform::RemoveFile(staleProgram);
    }
    session.systemComponentPath = session.systemDirectory + "\\quillax.dll";
    // The FONTS directory beside the system directory.
    const int lastSeparator = session.systemDirectory.ReverseFind("\\");
    session.fontDirectory.Left(session.systemDirectory, lastSeparator + 1);
    session.fontDirectory.Append("FONTS");
}

}  // namespace

GbString InstallationRoot(const SetupSession& session) {
    GbString root;
    root.Left(session.configDirectory, std::max(session.configDirectory.Length() - 4, 0));
    return root;
}

ParsedCommandLine ParseCommandLine(std::string_view commandLine, SlashOptions slashes) {
    ParsedCommandLine parsed;
    GbString& line = parsed.normalised;
    line.Assign(commandLine);
    RewriteSlashes(line, slashes);
    if (line.IsEmpty()) {
        return parsed;  // installation run with re-registration
    }
    line.MakeLower();
    const int quiet = line.Find("-q", 0);
    if (quiet >= 0) {
        parsed.quiet = true;
        line.Delete(quiet, 2);
    }
    ReplaceAll(line, "  ", " ");
    TrimBlanks(line);

    if (line == "-clearreg" || line == "-u") {
        parsed.action = SetupAction::ClearRegistration;
    } else if (line == "-uninstall") {
        parsed.action = SetupAction::Uninstall;
    } else if (line == "-h" || line == "-help") {
        parsed.action = SetupAction::Usage;
    } else if (line == "-correct") {
        parsed.action = SetupAction::ApplyErrata;
    } else if (const int import = line.Find("-import", 0); import >= 0) {
        parsed.action = SetupAction::Import;
        parsed.importFile = line;
        parsed.importFile.Delete(import, 7);
        for (const char* blank : {" ", "\t", "\r", "\n"}) {
            DeleteAll(parsed.importFile, blank);
        }
    } else if (line.Length() > 4) {
        parsed.action = SetupAction::IndexModules;
    } else {
        parsed.action = SetupAction::Install;
        parsed.reregister = line.IsEmpty();
    }
    return parsed;
}

IndexRequest ParseIndexCommand(const GbString& commandLine) {
    IndexRequest request;
    GbString line(commandLine);
    request.marker = "<h1>";
    const int dash = line.Find("-", 0);
    if (dash >= 0) {
        request.marker.Assign(line.Slice(dash + 1));
        const int blank = request.marker.Find(" ", 0);
        if (blank >= 0) {
            request.marker.SetLength(blank);
        }
        request.marker.MakeLower();
        request.lineFlag = request.marker == "l" || request.marker == "line";
        DeleteAll(line, GbString(" -") + request.marker);
    }
    ReplaceAll(line, "  ", " ");
    request.names = SplitAll(line, " ");
    return request;
}

GbString RunCommandLine(SetupSession& session, std::string_view commandLine) {
    session.messageText.Empty();
    if (!FindInstallation(session)) {
        session.messageText = kMissingFilesMessage;
        return session.messageText;
    }
    // Every run records where the installation is, also a run that clears the key again.
    platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kProductKey, "",
                                  session.configDirectory);
    FindSystemDirectories(session);

    const ParsedCommandLine parsed = ParseCommandLine(commandLine, session.slashes);
    if (parsed.quiet) {
        session.showFlag = false;
    }
    switch (parsed.action) {
        case SetupAction::Install:
            InstallEnvironment(session, parsed.reregister);
            break;
        case SetupAction::ClearRegistration:
            ClearRegistration(session);
            break;
        case SetupAction::Uninstall:
            UninstallHandOff(session);
            break;
        case SetupAction::Usage:
            session.messageText = kUsageText;
            break;
        case SetupAction::ApplyErrata:
            ApplyErrata(session);
            break;
        case SetupAction::Import:
            session.messageText = parsed.normalised;
            ImportBible(session, parsed.importFile);
            break;
        case SetupAction::IndexModules:
            RunIndexMode(session, parsed.normalised);
            break;
    }
    return session.messageText;
}

void RunIndexMode(SetupSession& session, const GbString& commandLine) {
    const IndexRequest request = ParseIndexCommand(commandLine);
    GbString built;
    GbString missing;
    for (const GbString& name : request.names) {
        if (name.IsEmpty()) {
            continue;
        }
        const bool written = BuildModuleIndex(session.configDirectory, name, request.lineFlag, request.marker);
        GbString& list = written ? built : missing;
        list.Append("\n");
        list.Append(name);
    }
    session.messageText = "索引重建完成。";
    if (!built.IsEmpty()) {
        session.messageText.Append("\n已建立索引:");
        session.messageText.Append(built);
    }
    if (!missing.IsEmpty()) {
        session.messageText.Append("\n找不到文本文件，未建立索引:");
        session.messageText.Append(missing);
    }
}

void UninstallHandOff(SetupSession& session) {
    // A refused uninstall ends here, before a copy of the tool is written anywhere.
    if (RefuseUninstall(session, ProtectedPlaces::OfPlatform())) {
        return;
    }
    GbString start = session.startDirectory;
    if (!EndsWith(start, "\\")) {
        start.Append("\\");
    }
    if (start != session.configDirectory) {
        Uninstall(session);
        return;
    }
    // Started from the configuration directory, which the uninstall deletes: a copy of the
    // tool in the installation root does the work.
    StartUninstallCopy(session);
}

void InstallOutOfMemoryHandler() {
    platform::PrepareEmergencyMessage(kOutOfMemoryMessage, kOutOfMemoryCaption);
    std::set_new_handler(&OutOfMemory);
}

int RunEnvoke(std::string_view commandLine, SlashOptions slashes) {
    try {
        StripList();
        SetupSession session;
        session.slashes = slashes;
        const GbString message = RunCommandLine(session, commandLine);
        if (session.showFlag) {
            platform::ShowMessageBox(message, kClosingCaption, platform::MessageButtons::Ok);
        }
    } catch (...) {
        // Nothing is left to report to: the run ends like every other.
    }
    return 0;
}

}  // namespace quillax
