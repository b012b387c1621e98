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
const char kUninstallRefusedMessage[] = "卸载已停止，未作任何修改。\n";
const char kRegistrationClearedMessage[] = "已注销Tessaly辅助工具，并删除了它的注册表项，可以进行升级了。";
const char kNothingRegisteredMessage[] = "Tessaly辅助工具没有注册，不需要注销；已删除它的注册表项。";
const char kUnregistrationFailedMessage[] = "注销Tessaly辅助工具失败（注册工具的错误码:";

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
    for (std::size_t i = 0; i < out.size(); i += GbkCharSize(out, i)) {
        if (out[i] == '/') out[i] = '\\';
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

// The real location of a directory (links and ".." resolved); the path as given when it does
// not exist.
std::string RealLocation(std::string_view directory) {
    return platform::RealPath(directory).value_or(std::string(directory));
}

// Whether the comparable path `inner` lies below `outer` (not equal to it).
bool Below(const std::string& inner, const std::string& outer) {
    return inner.size() > outer.size() + 1 && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == '\\';
}

// Why a directory that an uninstall deletes from must not be touched, or the empty text: it is a
// filesystem root, holds one, or is or holds a protected folder. Compared as named and where it
// really is.
GbString PlaceRefusal(std::string_view directory, const ProtectedPlaces& places) {
    const std::string named = ComparablePath(directory);
    const std::string real = ComparablePath(RealLocation(directory));
    for (const std::string& form : {named, real}) {
        if (IsRoot(form)) {
            return GbString("是磁盘（文件系统）的根目录。");
        }
    }
    const auto check = [&](const std::vector<std::string>& list, const char* isText,
                           const char* holdsText) -> GbString {
        for (const std::string& place : list) {
            const std::string placeAsNamed = ComparablePath(place);
            for (const std::string& protectedPath : {placeAsNamed, ComparablePath(RealLocation(place))}) {
                for (const std::string& form : {named, real}) {
                    if (protectedPath == form) {
                        return GbString(isText) + place + "）。";
                    }
                    if (Below(protectedPath, form)) {
                        return GbString(holdsText) + place + "）。";
                    }
                }
            }
        }
        return GbString();
    };
    GbString reason = check(places.roots, "是文件系统的根目录（", "包含文件系统的根目录（");
    if (reason.IsEmpty()) {
        reason = check(places.folders, "是用户或系统的文件夹（", "包含用户或系统的文件夹（");
    }
    return reason;
}

// Whether a configuration directory is named "cfg" (any case), the last part before its "\".
bool NamedCfg(std::string_view configDirectory) {
    const std::string comparable = ComparablePath(configDirectory);
    return comparable.size() >= 4 && comparable.compare(comparable.size() - 4, 4, "\\cfg") == 0;
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
        case kLocaleTraditional: {
            // Shown as the system shows the other traditional texts (see LocaleTable).
            static const std::string caption = TraditionalTextForSystem(kTraditionalUninstallWarning.caption);
            static const std::string text = TraditionalTextForSystem(kTraditionalUninstallWarning.text);
            static const UninstallWarning warning = {caption, text};
            return warning;
        }
        default:
            return kOtherUninstallWarning;
    }
}

ProtectedPlaces ProtectedPlaces::OfPlatform() {
    return ProtectedPlaces{platform::FilesystemRoots(), platform::ProtectedFolders()};
}

GbString UninstallRefusal(std::string_view configDirectory, const ProtectedPlaces& places) {
    if (configDirectory.empty()) {
        return GbString("没有指定配置目录。");
    }
    GbString config(configDirectory);
    if (config.GetAt(config.Length() - 1) != '\\' && config.GetAt(config.Length() - 1) != '/') {
        config.Append("\\");
    }
    const GbString configLine = GbString("配置目录 ") + config + "\n";
    const GbString configReason = PlaceRefusal(config.view(), places);
    if (!configReason.IsEmpty()) {
        return configLine + configReason;
    }
    if (!platform::FileExists(config + "bible.ini")) {
        return configLine + "其中没有bible.ini，不是Tessaly的配置目录。";
    }
    // The installation root is the directory above "cfg"; any other name leaves it unknown.
    if (!NamedCfg(config.view())) {
        return configLine + "它不是安装目录下的cfg目录，无法确定安装目录。";
    }
    SetupSession located;
    located.configDirectory = config;
    const GbString root = InstallationRoot(located);
    const GbString rootReason = PlaceRefusal(root.view(), places);
    if (!rootReason.IsEmpty()) {
        return GbString("安装目录 ") + root + "\n" + rootReason;
    }
    return GbString();
}

bool RefuseUninstall(SetupSession& session, const ProtectedPlaces& places) {
    // A damaged registry value must never make the uninstall wipe a disk or a home folder.
    const GbString refusal = UninstallRefusal(session.configDirectory.view(), places);
    if (refusal.IsEmpty()) {
        return false;
    }
    session.messageText = GbString(kUninstallRefusedMessage) + refusal;
    return true;
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

void Uninstall(SetupSession& session) {
    // The uninstall only removes shortcuts: a missing start menu is not made for it.
    Uninstall(session, ShortcutFolders::OfPlatform(platform::MissingFolder::Leave),
              ProtectedPlaces::OfPlatform());
}

void Uninstall(SetupSession& session, const ShortcutFolders& folders, const ProtectedPlaces& places) {
    const GbString& config = session.configDirectory;
    if (RefuseUninstall(session, places)) {
        return;
    }
    const int locale = DetectLocale();
    const UninstallWarning& warning = UninstallWarningFor(locale);
    // Deleting cannot be undone: the box warns, and Enter answers No.
    const platform::MessageStyle style{platform::MessageIcon::Warning, platform::DefaultButton::Second};
    if (platform::ShowMessageBox(warning.text, warning.caption, platform::MessageButtons::YesNoCancel, style) !=
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
    const Unregistration unregistration = UnregisterComponent(session);
    platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, kProductKey);
    if (!unregistration.registered) {
        session.messageText = kNothingRegisteredMessage;
    } else if (unregistration.started && unregistration.exitCode == 0) {
        session.messageText = kRegistrationClearedMessage;
    } else {
        session.messageText = kUnregistrationFailedMessage;
        session.messageText.Append(std::to_string(unregistration.exitCode));
        session.messageText.Append("）。");
    }
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
