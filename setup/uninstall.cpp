#include "setup/uninstall.h"

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "setup/environment_install.h"
#include "setup/locale_table.h"
#include "setup/path_text.h"
#include "textlib/product_identity.h"

namespace quillax {

const char kUninstallDoneMessage[] = "已经完成卸载!";
const char kUninstallCancelledMessage[] = "您已撤消了卸载操作!";
const char kUninstallRefusedMessage[] = "卸载已停止，未作任何修改。\n下面的目录不能作为Tessaly的配置目录删除：\n";

// The traditional Chinese warning lives in a file of its own, compiled to Big5 bytes.
extern const UninstallWarning kTraditionalUninstallWarning;

namespace {

const UninstallWarning kSimplifiedUninstallWarning = {
    "请慎操作，一切后果自负。",
    "=====================================================\n"
    "  如果您在Tessaly的系统里存有任何个人资料，\n"
    "  如心得、笔记、或查找的资料，请先保存，以免丢失。\n"
    "  此程序必须是在Tessaly的安装路径的cfg子目录下运行。\n"
    "=====================================================\n"
    "是否真的要完全卸载Tessaly，\n"
    "并删除Tessaly目录下的一切资料？",
};

const UninstallWarning kOtherUninstallWarning = {
    "WARNING",
    "=====================================================They will be all lost that your any personal data inCorvex dicrectory, example Note, Serach data esc.May I attention please, save thier before you uninstall.This route must be run in corvex's subdirectory 'cfg'.\n"
    "=====================================================Are you sure to complete uninstall and delete all data in corvex?",
};

constexpr std::string_view kProductKey = kInstallationKey;

// A path in a form for comparisons: "/" made "\", ASCII letters lower-cased, no trailing "\".
std::string ComparablePath(std::string_view path) {
    GbString text(path);
    text.MakeLower();
    std::string out(text.view());
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (static_cast<unsigned char>(out[i]) >= 0x80) {
            ++i;  // a double-byte character
        } else if (out[i] == '/') {
            out[i] = '\\';
        }
    }
    while (!out.empty() && out.back() == '\\') {
        out.pop_back();
    }
    return out;
}

// A filesystem root: "\" (Linux), "x:" or "x:\", a UNC server or share ("\\server\share").
bool IsRoot(const std::string& comparable) {
    if (comparable.empty()) {
        return true;
    }
    if (comparable.size() == 2 && comparable[1] == ':') {
        return true;
    }
    if (comparable.rfind("\\\\", 0) == 0) {
        const std::size_t server = comparable.find('\\', 2);
        return server == std::string::npos || comparable.find('\\', server + 1) == std::string::npos;
    }
    return false;
}

// The real location of a directory: the current directory after changing to it. The path as
// given when it cannot be entered.
std::string RealLocation(std::string_view directory) {
    const std::string saved = platform::CurrentDirectory();
    if (!platform::ChangeDirectory(directory)) {
        return std::string(directory);
    }
    std::string real = platform::StartDirectory();
    platform::ChangeDirectory(saved);
    return real;
}

// The real location of the subdirectory `name` of the directory `here` (itself a real
// location), or nothing when `name` is a link to a directory elsewhere. The current directory
// is used to find out and left as it was.
std::optional<std::string> RealSubdirectory(const std::string& here, const std::string& name) {
    const std::string saved = platform::CurrentDirectory();
    std::optional<std::string> real;
    if (platform::ChangeDirectory(here + "\\" + name)) {
        std::string now = platform::CurrentDirectory();
        if (ComparablePath(DirectoryPart(now)) == ComparablePath(here) && NamePart(now) == name) {
            real = std::move(now);
        }
    }
    platform::ChangeDirectory(saved);
    return real;
}

// Deletes the entries of the directory `here` (a real location); the result is that of the
// last entry. Every path is absolute, so nothing depends on the current directory.
bool DeleteEntries(const std::string& here) {
    bool result = true;
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(here)) {
        // A Linux name with a "\" in it cannot be written as a path of the program ("..\x"
        // would even lead out of the tree): it stays, and so does the directory.
        if (LastPathSeparator(entry.name) >= 0) {
            result = false;
            continue;
        }
        const std::string child = here + "\\" + entry.name;
        if (entry.attributes == platform::kAttrDirectory) {
            if (const std::optional<std::string> real = RealSubdirectory(here, entry.name)) {
                DeleteEntries(*real);
                result = platform::RemoveEmptyDirectory(*real);
                continue;
            }
        }
        // A file, a link, or a directory with further attributes, which cannot go this way.
        result = platform::RemoveFile(child);
        if (!result) {
            platform::SetFileAttributeBits(child, platform::kAttrNormal);
            result = platform::RemoveFile(child);
        }
    }
    return result;
}

}  // namespace

const UninstallWarning& UninstallWarningFor(int locale) {
    switch (locale) {
        case kLocaleSimplified:
            return kSimplifiedUninstallWarning;
        case kLocaleTraditional:
            return kTraditionalUninstallWarning;
        default:
            return kOtherUninstallWarning;
    }
}

GbString UninstallRefusal(std::string_view configDirectory) {
    if (configDirectory.empty()) {
        return GbString("没有指定配置目录。");
    }
    const std::string real = ComparablePath(RealLocation(configDirectory));
    if (IsRoot(real) || IsRoot(ComparablePath(configDirectory))) {
        return GbString("这是磁盘的根目录。");
    }
    for (const std::string& folder : platform::ProtectedFolders()) {
        // Both as named and where it really is (a home folder may be a link).
        for (const std::string& protectedPath : {ComparablePath(folder), ComparablePath(RealLocation(folder))}) {
            if (!protectedPath.empty() &&
                (protectedPath == real || protectedPath.rfind(real + "\\", 0) == 0)) {
                return GbString("这是系统或用户的文件夹，或者包含这样的文件夹。");
            }
        }
    }
    GbString iniPath(configDirectory);
    if (iniPath.GetAt(iniPath.Length() - 1) != '\\' && iniPath.GetAt(iniPath.Length() - 1) != '/') {
        iniPath.Append("\\");
    }
    iniPath.Append("bible.ini");
    if (!platform::FileExists(iniPath)) {
        return GbString("其中没有bible.ini，不是Tessaly的配置目录。");
    }
    return GbString();
}

bool DeleteTree(std::string_view path) {
    std::string bare(path);
    while (bare.size() > 1 && (bare.back() == '\\' || bare.back() == '/')) {
        bare.pop_back();
    }
    if (!platform::DirectoryExists(bare)) {
        return false;
    }
    // A link to a directory elsewhere ("midi" pointing at the user's music) is removed as a
    // link; what it points to is not touched.
    const GbString parent = DirectoryPart(bare);
    const std::string here = RealLocation(bare);
    const std::string expected = RealLocation(parent.IsEmpty() ? std::string_view(".") : parent.view()) + "\\" +
                                 NamePart(bare).str();
    if (ComparablePath(here) != ComparablePath(expected)) {
        platform::RemoveFile(bare);
        return false;
    }
    DeleteEntries(here);
    return platform::RemoveEmptyDirectory(bare);
}

void Uninstall(SetupSession& session) { Uninstall(session, ShortcutFolders::OfPlatform()); }

void Uninstall(SetupSession& session, const ShortcutFolders& folders) {
    const GbString& config = session.configDirectory;
    // A damaged registry value must never make the uninstall wipe a disk or a home folder.
    const GbString refusal = UninstallRefusal(config);
    if (!refusal.IsEmpty()) {
        session.messageText = GbString(kUninstallRefusedMessage) + config + "\n" + refusal;
        return;
    }
    const int locale = DetectLocale();
    const UninstallWarning& warning = UninstallWarningFor(locale);
    if (platform::ShowMessageBox(warning.text, warning.caption, platform::MessageButtons::YesNoCancel) !=
        platform::MessageAnswer::Yes) {
        session.messageText = kUninstallCancelledMessage;
        return;
    }

    UnregisterComponent(session);
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, kProductKey);

    // The configuration directory is the current one; a directory in use cannot be removed.
    const GbString root = InstallationRoot(session);
    platform::ChangeDirectory(root);
    DeleteTree(config);
    // Started through the hand-off, the instance in the configuration directory ends 400 ms
    // after it started this one; until then its program file cannot be deleted.
    for (int attempt = 0; attempt < 10 && platform::FileExists(config + "envoke.exe"); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        DeleteTree(config);
    }

    DeleteTree(root + "midi");
    DeleteTree(root + "update");
    const std::vector<GbString> files = {
        GbString(LocaleTable(kLocaleSimplified).productName) + ".chm",
        GbString(LocaleTable(kLocaleTraditional).productName) + ".chm",
        "corvex.chm", "tessaly.chm", "随笔.htm", "nmad.txt", "txconv.exe", "envoke.exe",
    };
    for (const GbString& name : files) {
        if (platform::FileExists(root + name)) {
            platform::RemoveFile(root + name);
        }
    }

    if (!folders.desktop.IsEmpty()) {
        for (const int column : {kLocaleSimplified, kLocaleTraditional, kLocaleOther}) {
            const GbString link = folders.desktop + "\\" + LocaleTable(column).productName + ".lnk";
            platform::RemoveFile(platform::ShellLinkFile(link));
        }
    }
    if (!folders.programs.IsEmpty()) {
        DeleteTree(folders.programs + "\\" + LocaleTable(locale).productName);
    }
    session.messageText = kUninstallDoneMessage;
}

void ClearRegistration(SetupSession& session) {
    UnregisterComponent(session);
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, kProductKey);
}

void StartUninstallCopy(SetupSession& session) {
    const GbString root = InstallationRoot(session);
    const std::string source = platform::ProgramPath();
    platform::ChangeDirectory(root);
    const GbString copy = root + "Envoke.exe";
    platform::CopyProgramFile(source, copy);
    // The copy goes once this process has ended and the copy's own run has let go of it.
    platform::DeleteFileWhenProcessEnds(copy);
    const platform::ProcessStart start = platform::StartProgram(copy, {"-uninstall"}, false);
    if (!start.started) {
        session.messageText = "错误码:";
        session.messageText.Append(std::to_string(start.errorCode));
    } else {
        session.showFlag = false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

}  // namespace quillax
