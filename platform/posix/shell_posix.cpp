// Shell services on Linux: XDG folders, freedesktop desktop entries for shortcuts, fc-cache for
// fonts, the regsvr tool for component registration (see platform/shell.h).
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/system_tables.h"
#include "platform/program_location.h"
#include "platform/shell.h"

extern char** environ;

namespace quillax::platform {
namespace {

using posix::ProgramForm;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// An XDG base directory: the variable when it holds an absolute path, else $HOME + fallback.
std::string XdgDirectory(const char* variable, const char* homeRelative) {
    const std::string value = Variable(variable);
    if (!value.empty() && value.front() == '/') {
        return value;
    }
    const std::string home = Variable("HOME");
    return home.empty() ? std::string() : home + "/" + homeRelative;
}

std::string DataHome() { return XdgDirectory("XDG_DATA_HOME", ".local/share"); }

std::string DesktopDirectory() { return XdgDirectory("XDG_DESKTOP_DIR", "Desktop"); }

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) {
        return false;
    }
    const std::string_view end = text.substr(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = end[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != tail[i]) {
            return false;
        }
    }
    return true;
}

// ---- desktop entries ---------------------------------------------------------------------------

// A value of a desktop entry: its "\", line feed, tab and carriage return escaped.
std::string EscapeValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::string UnescapeValue(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 's': out += ' '; break;
            default: out += text[i];
        }
    }
    return out;
}

// One argument of an Exec key, quoted by the rules of the freedesktop desktop-entry format ("%" is
// doubled, and `"`, "`", "$", "\" are escaped inside the quotes).
std::string ExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            out += '\\';
        }
        if (c == '%') {
            out += '%';
        }
        out += c;
    }
    return out + "\"";
}

// The arguments of a shortcut as a Windows command line gives them: words separated by blanks,
// a quoted part kept together.
std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool any = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any) {
                words.push_back(word);
            }
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) {
        words.push_back(word);
    }
    return words;
}

std::string PercentEncodedPath(std::string_view systemPath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : systemPath) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' ||
                           byte == '_' || byte == '.' || byte == '~';
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

// The hot key as text: "Ctrl+Alt+B". Keys other than letters and digits are written as "0x" and
// two hex digits.
std::string HotKeyText(std::uint16_t hotKey) {
    std::string text;
    if ((hotKey & kHotKeyControl) != 0) text += "Ctrl+";
    if ((hotKey & kHotKeyAlt) != 0) text += "Alt+";
    if ((hotKey & kHotKeyShift) != 0) text += "Shift+";
    const auto key = static_cast<unsigned>(hotKey & 0xFF);
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        text += static_cast<char>(key);
    } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", key);
        text += hex;
    }
    return text;
}

std::uint16_t HotKeyFromText(std::string_view text) {
    unsigned value = 0;
    while (true) {
        const std::size_t plus = text.find('+');
        if (plus == std::string_view::npos) {
            break;
        }
        const std::string_view modifier = text.substr(0, plus);
        if (modifier == "Ctrl") value |= kHotKeyControl;
        if (modifier == "Alt") value |= kHotKeyAlt;
        if (modifier == "Shift") value |= kHotKeyShift;
        text.remove_prefix(plus + 1);
    }
    if (text.size() == 1) {
        value |= static_cast<unsigned char>(text[0]);
    } else if (text.size() > 2 && text.substr(0, 2) == "0x") {
        value |= static_cast<unsigned>(std::strtoul(std::string(text.substr(2)).c_str(), nullptr, 16)) & 0xFFu;
    }
    return static_cast<std::uint16_t>(value);
}

// The name of the shortcut: the link file's name without directory and extension.
std::string LinkName(std::string_view linkPath) {
    const std::size_t slash = linkPath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? linkPath : linkPath.substr(slash + 1);
    if (EndsWithNoCase(name, ".lnk")) {
        name.remove_suffix(4);
    }
    return std::string(name);
}

// A program target (the shortcut runs it) rather than a document (the shortcut opens it).
bool IsProgramTarget(std::string_view target) {
    const std::size_t slash = target.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? target : target.substr(slash + 1);
    return EndsWithNoCase(name, ".exe") || name.find('.') == std::string_view::npos;
}

std::string Utf8(std::string_view gbk) { return GbkToUtf8(gbk); }

// The user folders of the freedesktop user-dirs convention: each as the variable XDG_<NAME>_DIR
// names it, as $XDG_CONFIG_HOME/user-dirs.dirs names it (often a translated name such as
// "$HOME/文档"), and under its English default name in the home folder.
std::vector<std::string> UserFolders(const std::string& home) {
    std::string listed;
    const std::string config = XdgDirectory("XDG_CONFIG_HOME", ".config");
    if (!config.empty()) {
        listed = posix::ReadSystemFile(config + "/user-dirs.dirs").value_or(std::string());
    }
    std::vector<std::string> folders;
    for (const posix::UserFolderKey& folder : posix::kUserFolderKeys) {
        folders.push_back(Variable(folder.variable));
        if (!home.empty()) {
            folders.push_back(home + "/" + folder.englishName);
        }
        for (std::string& named : posix::UserDirsFolders(listed, folder.variable, home)) {
            folders.push_back(std::move(named));
        }
    }
    return folders;
}

}  // namespace

std::string SpecialFolderPath(SpecialFolder folder, MissingFolder missing) {
    std::string path;
    switch (folder) {
        case SpecialFolder::Desktop:
            path = DesktopDirectory();
            break;
        case SpecialFolder::Programs:
        case SpecialFolder::Fonts: {
            const std::string data = DataHome();
            if (data.empty()) {
                return {};
            }
            path = data + (folder == SpecialFolder::Programs ? "/applications" : "/fonts");
            if (missing == MissingFolder::Create) {
                MakeDirectories(ProgramForm(path));
            }
            break;
        }
    }
    return path.empty() ? std::string() : ProgramForm(path);
}

std::string ShellLinkFile(std::string_view linkPath) {
    std::string file(linkPath);
    if (EndsWithNoCase(file, ".lnk")) {
        file.resize(file.size() - 4);
        file += ".desktop";
    }
    return file;
}

bool CreateShellLink(std::string_view linkPath, const ShellLink& link) {
    try {
        const std::string targetSystem = posix::SystemPath(link.target);
        std::string entry = "[Desktop Entry]\n";
        entry += "Version=1.0\n";
        if (IsProgramTarget(link.target)) {
            entry += "Type=Application\n";
            std::string exec = ExecArgument(targetSystem);
            for (const std::string& argument : SplitArguments(link.arguments)) {
                exec += " " + ExecArgument(Utf8(argument));
            }
            entry += "Exec=" + EscapeValue(exec) + "\n";
        } else {
            entry += "Type=Link\n";
            entry += "URL=file://" + PercentEncodedPath(targetSystem) + "\n";
        }
        entry += "Name=" + EscapeValue(Utf8(LinkName(linkPath))) + "\n";
        if (!link.description.empty()) {
            entry += "Comment=" + EscapeValue(Utf8(link.description)) + "\n";
        }
        if (!link.workingDirectory.empty()) {
            entry += "Path=" + EscapeValue(posix::SystemPath(link.workingDirectory)) + "\n";
        }
        if (!link.iconPath.empty()) {
            entry += "Icon=" + EscapeValue(posix::SystemPath(link.iconPath)) + "\n";
        }
        entry += "Terminal=false\n";
        // What the shell link holds and freedesktop has no key for, in the program's texts.
        entry += "X-Quillax-Target=" + EscapeValue(Utf8(link.target)) + "\n";
        if (!link.arguments.empty()) {
            entry += "X-Quillax-Arguments=" + EscapeValue(Utf8(link.arguments)) + "\n";
        }
        if (!link.workingDirectory.empty()) {
            entry += "X-Quillax-WorkingDirectory=" + EscapeValue(Utf8(link.workingDirectory)) + "\n";
        }
        if (!link.iconPath.empty()) {
            entry += "X-Quillax-Icon=" + EscapeValue(Utf8(link.iconPath)) + "\n";
            entry += "X-Quillax-IconIndex=" + std::to_string(link.iconIndex) + "\n";
        }
        if (link.hotKey != 0) {
            entry += "X-Quillax-HotKey=" + HotKeyText(link.hotKey) + "\n";
        }
        return WriteWholeFile(ShellLinkFile(linkPath), entry);
    } catch (...) {
        return false;
    }
}

std::optional<ShellLink> ReadShellLink(std::string_view linkPath) {
    try {
        const std::optional<std::string> text = ReadWholeFile(ShellLinkFile(linkPath));
        if (!text || text->rfind("[Desktop Entry]", 0) != 0) {
            return std::nullopt;
        }
        ShellLink link;
        bool haveTarget = false;
        std::size_t start = 0;
        while (start < text->size()) {
            std::size_t end = text->find('\n', start);
            if (end == std::string::npos) {
                end = text->size();
            }
            const std::string_view line = std::string_view(*text).substr(start, end - start);
            start = end + 1;
            const std::size_t equals = line.find('=');
            if (equals == std::string_view::npos) {
                continue;
            }
            const std::string_view key = line.substr(0, equals);
            const std::string value = Utf8ToGbk(UnescapeValue(line.substr(equals + 1)));
            if (key == "X-Quillax-Target") {
                link.target = value;
                haveTarget = true;
            } else if (key == "X-Quillax-Arguments") {
                link.arguments = value;
            } else if (key == "X-Quillax-WorkingDirectory") {
                link.workingDirectory = value;
            } else if (key == "X-Quillax-Icon") {
                link.iconPath = value;
            } else if (key == "X-Quillax-IconIndex") {
                link.iconIndex = std::atoi(value.c_str());
            } else if (key == "X-Quillax-HotKey") {
                link.hotKey = HotKeyFromText(value);
            } else if (key == "Comment") {
                link.description = value;
            }
        }
        if (!haveTarget) {
            return std::nullopt;
        }
        return link;
    } catch (...) {
        return std::nullopt;
    }
}

bool RefreshFonts(std::string_view fontsFolder) {
    try {
        std::string folder = posix::SystemPath(fontsFolder);
        if (folder.empty()) {
            return false;
        }
        std::string program = "fc-cache";
        std::vector<char*> argv = {program.data(), folder.data(), nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            return false;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        // The command of the shell cannot report a failed start of its own; 127 is what a
        // program that could not be executed leaves.
        return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
    } catch (...) {
        return false;
    }
}

std::string RegistrationTool64Path(std::string_view /*systemDirectory*/) { return {}; }

std::string RegistrationToolPath(std::string_view /*systemDirectory*/, std::string_view configDirectory) {
    const std::string directory = ProgramDirectory();
    const std::string beside = directory.empty() ? std::string() : directory + "\\regsvr";
    if (configDirectory.empty() || FileExists(beside)) {
        return beside;
    }
    std::string installed(configDirectory);
    if (installed.back() != '\\' && installed.back() != '/') {
        installed += '\\';
    }
    installed += "regsvr";
    return FileExists(installed) || beside.empty() ? installed : beside;
}

std::string ProgramFileName(std::string_view windowsName) {
    std::string name(windowsName);
    if (EndsWithNoCase(name, ".exe")) {
        name.resize(name.size() - 4);
    }
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

std::optional<std::string> LocaleWithoutRegistry() {
    std::string locale = Variable("LC_ALL");
    if (locale.empty()) {
        locale = Variable("LANG");
    }
    if (locale.rfind("zh_TW", 0) == 0) return std::string("00000404");
    if (locale.rfind("zh_HK", 0) == 0) return std::string("00000C04");
    if (locale.rfind("zh_MO", 0) == 0) return std::string("00001404");
    return std::string("00000804");
}

std::vector<std::string> ProtectedFolders() {
    std::vector<std::string> folders;
    try {
        const auto add = [&folders](const std::string& systemPath) {
            if (!systemPath.empty() && systemPath.front() == '/') {
                folders.push_back(ProgramForm(systemPath));
            }
        };
        for (const char* top : {"/bin", "/boot", "/dev", "/etc", "/home", "/lib", "/lib32", "/lib64",
                                "/libx32", "/media", "/mnt", "/opt", "/proc", "/root", "/run", "/sbin",
                                "/srv", "/sys", "/tmp", "/usr", "/usr/local", "/usr/share", "/var"}) {
            add(top);
        }
        const std::string home = Variable("HOME");
        add(home);
        if (!home.empty()) {
            add(home + "/.local");
        }
        add(DataHome());
        add(XdgDirectory("XDG_CONFIG_HOME", ".config"));
        add(XdgDirectory("XDG_CACHE_HOME", ".cache"));
        add(DesktopDirectory());
        const std::string data = DataHome();
        if (!data.empty()) {
            add(data + "/applications");
            add(data + "/fonts");
        }
        for (const std::string& folder : UserFolders(home)) {
            add(folder);
        }
        add(Variable("TMPDIR"));
        // The stand-in system directory and the folder above it (the "Windows" directory).
        const std::string system = Variable("QUILLAX_SYSTEM_DIR");
        add(system);
        if (!system.empty()) {
            std::string above = system;
            while (above.size() > 1 && above.back() == '/') {
                above.pop_back();
            }
            const std::size_t slash = above.rfind('/');
            if (slash != std::string::npos && slash > 0) {
                add(above.substr(0, slash));
            }
        }
    } catch (...) {
        // What was gathered so far still protects.
    }
    return folders;
}

std::vector<std::string> FilesystemRoots() {
    std::vector<std::string> roots = {"\\"};
    try {
        const std::string table = posix::ReadSystemFile("/proc/self/mountinfo").value_or(std::string());
        for (const std::string& mountPoint : posix::MountPointsOf(table)) {
            roots.push_back(ProgramForm(mountPoint));
        }
    } catch (...) {
        // The roots found so far still protect.
    }
    return roots;
}

}  // namespace quillax::platform
