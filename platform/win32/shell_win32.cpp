// Shell services on Windows: special folders, the shell-link object, the fonts-folder command
// and regsvr32 (see platform/shell.h).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace quillax::platform {
namespace {

// The class and interfaces of the shell-link object, spelled out so that no extra import
// library is needed for them.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kShellLinkAInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kPersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::string FolderOf(int csidl) {
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, csidl, FALSE)) {
        return {};
    }
    std::string path(buffer);
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

// The user's Downloads folder, which has no CSIDL: the known folder (Windows Vista and later,
// looked up at run time), or else "Downloads" in the profile.
std::string DownloadsFolder() {
    const GUID kDownloads = {0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};
    using KnownFolderFunction = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
    const HMODULE shell = GetModuleHandleA("shell32.dll");
    const auto knownFolder = shell == nullptr
                                 ? nullptr
                                 : reinterpret_cast<KnownFolderFunction>(reinterpret_cast<void (*)()>(
                                       GetProcAddress(shell, "SHGetKnownFolderPath")));
    PWSTR wide = nullptr;
    if (knownFolder != nullptr && SUCCEEDED(knownFolder(kDownloads, 0, nullptr, &wide)) && wide != nullptr) {
        char buffer[MAX_PATH + 1] = {};
        const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, MAX_PATH, nullptr, nullptr);
        CoTaskMemFree(wide);
        if (n > 0) {
            return buffer;
        }
    }
    const std::string profile = FolderOf(CSIDL_PROFILE);
    return profile.empty() ? std::string() : profile + "\\Downloads";
}

// The link path as the file-persistence interface takes it: UTF-16 from the ANSI code page, at
// most MAX_PATH characters.
std::vector<wchar_t> WidePath(std::string_view path) {
    std::vector<wchar_t> wide(MAX_PATH + 1, L'\0');
    const std::string narrow(path);
    const int n = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide.data(), MAX_PATH);
    if (n <= 0) {
        wide[0] = L'\0';
    }
    wide[MAX_PATH] = L'\0';
    return wide;
}

// The component system for the life of one call, and the objects created in it.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

template <class Interface>
class Held {
public:
    Held() = default;
    ~Held() {
        if (pointer != nullptr) {
            pointer->Release();
        }
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    void** Out() { return reinterpret_cast<void**>(&pointer); }
    Interface* pointer = nullptr;
};

}  // namespace

std::string SpecialFolderPath(SpecialFolder folder, MissingFolder /*missing*/) {
    switch (folder) {
        case SpecialFolder::Desktop:
            return FolderOf(CSIDL_DESKTOP);
        case SpecialFolder::Programs:
            return FolderOf(CSIDL_PROGRAMS);
        case SpecialFolder::Fonts:
            return FolderOf(CSIDL_FONTS);
    }
    return {};
}

std::string ShellLinkFile(std::string_view linkPath) { return std::string(linkPath); }

bool CreateShellLink(std::string_view linkPath, const ShellLink& link) {
    try {
        ComScope com;
        Held<IShellLinkA> shellLink;
        if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface,
                                    shellLink.Out())) ||
            shellLink.pointer == nullptr) {
            return false;
        }
        IShellLinkA* const object = shellLink.pointer;
        object->SetPath(link.target.c_str());
        object->SetDescription(link.description.c_str());
        object->SetHotkey(link.hotKey);
        if (!link.arguments.empty()) {
            object->SetArguments(link.arguments.c_str());
        }
        if (!link.iconPath.empty()) {
            object->SetIconLocation(link.iconPath.c_str(), link.iconIndex);
        }
        if (!link.workingDirectory.empty()) {
            object->SetWorkingDirectory(link.workingDirectory.c_str());
        }
        Held<IPersistFile> file;
        if (FAILED(object->QueryInterface(kPersistFileInterface, file.Out())) || file.pointer == nullptr) {
            return false;
        }
        const std::vector<wchar_t> wide = WidePath(linkPath);
        return SUCCEEDED(file.pointer->Save(wide.data(), TRUE));
    } catch (...) {
        return false;
    }
}

std::optional<ShellLink> ReadShellLink(std::string_view linkPath) {
    try {
        ComScope com;
        Held<IShellLinkA> shellLink;
        if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkAInterface,
                                    shellLink.Out())) ||
            shellLink.pointer == nullptr) {
            return std::nullopt;
        }
        IShellLinkA* const object = shellLink.pointer;
        Held<IPersistFile> file;
        if (FAILED(object->QueryInterface(kPersistFileInterface, file.Out())) || file.pointer == nullptr) {
            return std::nullopt;
        }
        const std::vector<wchar_t> wide = WidePath(linkPath);
        if (FAILED(file.pointer->Load(wide.data(), STGM_READ))) {
            return std::nullopt;
        }
        ShellLink link;
        char buffer[1024] = {};
        if (SUCCEEDED(object->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH))) {
            link.target = buffer;
        }
        buffer[0] = '\0';
        if (SUCCEEDED(object->GetArguments(buffer, sizeof buffer))) {
            link.arguments = buffer;
        }
        buffer[0] = '\0';
        if (SUCCEEDED(object->GetDescription(buffer, sizeof buffer))) {
            link.description = buffer;
        }
        buffer[0] = '\0';
        if (SUCCEEDED(object->GetWorkingDirectory(buffer, sizeof buffer))) {
            link.workingDirectory = buffer;
        }
        buffer[0] = '\0';
        int iconIndex = 0;
        if (SUCCEEDED(object->GetIconLocation(buffer, sizeof buffer, &iconIndex))) {
            link.iconPath = buffer;
            link.iconIndex = iconIndex;
        }
        WORD hotKey = 0;
        if (SUCCEEDED(object->GetHotkey(&hotKey))) {
            link.hotKey = hotKey;
        }
        return link;
    } catch (...) {
        return std::nullopt;
    }
}

std::string FontsFolderCommand(std::string_view fontsFolder) {
    return "start /min " + std::string(fontsFolder) + " && exit";
}

bool RefreshFonts(std::string_view fontsFolder) {
    try {
        const std::string command = FontsFolderCommand(fontsFolder);
        // WinExec reports a failed start with a value of 31 or below.
        return WinExec(command.c_str(), SW_HIDE) > 31;
    } catch (...) {
        return false;
    }
}

std::string ProgramFileName(std::string_view windowsName) { return std::string(windowsName); }

std::string RegistrationToolPath(std::string_view systemDirectory, std::string_view /*configDirectory*/) {
    return std::string(systemDirectory) + "\\regsvr32.exe";
}

std::string RegistrationTool64Path([[maybe_unused]] std::string_view systemDirectory) {
#ifdef _WIN64
    return std::string(systemDirectory) + "\\regsvr32.exe";
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
        return {};
    }
    char windows[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return std::string(windows) + "\\Sysnative\\regsvr32.exe";
#endif
}

std::optional<std::string> LocaleWithoutRegistry() { return std::nullopt; }

std::vector<std::string> ProtectedFolders() {
    std::vector<std::string> folders;
    try {
        // Only absolute paths: "C:" alone would name the current directory of drive C.
        const auto add = [&folders](std::string path) {
            while (path.size() > 3 && path.back() == '\\') {
                path.pop_back();
            }
            const bool drivePath = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
            const bool uncPath = path.size() > 2 && path[0] == '\\' && path[1] == '\\';
            if (drivePath || uncPath) {
                folders.push_back(path);
            }
        };
        char buffer[MAX_PATH + 1] = {};
        if (GetWindowsDirectoryA(buffer, MAX_PATH) > 0) {
            add(buffer);
        }
        buffer[0] = '\0';
        if (GetSystemDirectoryA(buffer, MAX_PATH) > 0) {
            add(buffer);
        }
        for (const int csidl : {CSIDL_DESKTOP, CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_STARTMENU,
                                CSIDL_STARTUP, CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_APPDATA,
                                CSIDL_LOCAL_APPDATA, CSIDL_FONTS, CSIDL_TEMPLATES, CSIDL_PROFILE,
                                CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO,
                                CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
                                CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_COMMON_APPDATA,
                                CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS,
                                CSIDL_COMMON_STARTMENU, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_MUSIC,
                                CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO}) {
            add(FolderOf(csidl));
        }
        add(DownloadsFolder());
        // ProgramW6432 names the native Program Files of a 64-bit system, which a 32-bit
        // program's own Program Files folder (the "(x86)" one) is not.
        for (const char* variable : {"USERPROFILE", "ALLUSERSPROFILE", "PUBLIC", "ProgramFiles",
                                     "ProgramFiles(x86)", "ProgramW6432", "CommonProgramW6432",
                                     "TEMP", "TMP"}) {
            if (const char* value = std::getenv(variable)) {
                add(value);
            }
        }
        // The folder that holds the user profiles ("Documents and Settings", "Users").
        if (const char* profile = std::getenv("USERPROFILE")) {
            std::string above = profile;
            const std::size_t slash = above.rfind('\\');
            if (slash != std::string::npos && slash > 2) {
                add(above.substr(0, slash));
            }
        }
    } catch (...) {
        // What was gathered so far still protects.
    }
    return folders;
}

std::vector<std::string> FilesystemRoots() {
    std::vector<std::string> roots;
    try {
        char buffer[512] = {};
        const DWORD length = GetLogicalDriveStringsA(sizeof buffer - 1, buffer);
        // The roots one after another, each ended by a 0 byte, and one more 0 byte at the end.
        for (DWORD at = 0; length > 0 && length < sizeof buffer && at < length && buffer[at] != '\0';) {
            const std::string root(buffer + at);
            roots.push_back(root);
            at += static_cast<DWORD>(root.size()) + 1;
        }
    } catch (...) {
        // The roots found so far still protect.
    }
    return roots;
}

}  // namespace quillax::platform
