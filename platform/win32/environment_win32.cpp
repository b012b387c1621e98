#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/environment.h"

namespace quillax::platform {

std::optional<std::string> GetEnvironmentValue(std::string_view name) {
    const std::string key(name);
    const DWORD size = GetEnvironmentVariableA(key.c_str(), nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
            return std::nullopt;
        }
        return std::string();
    }
    std::vector<char> buffer(size + 1);
    const DWORD length =
        GetEnvironmentVariableA(key.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), length);
}

bool SetEnvironmentValue(std::string_view name, std::optional<std::string_view> value) {
    const std::string key(name);
    if (key.empty() || key.find('=') != std::string::npos) {
        return false;
    }
    const std::string text = value ? std::string(*value) : std::string();
    // Both the system's copy (child processes, GetEnvironmentVariable) and the C runtime's
    // copy (getenv) are updated; an empty text removes the variable from the runtime's copy.
    const bool system =
        SetEnvironmentVariableA(key.c_str(), value ? text.c_str() : nullptr) != 0;
    const bool runtime = _putenv_s(key.c_str(), text.c_str()) == 0;
    return system && runtime;
}

std::string TemporaryDirectory() {
    const DWORD size = GetTempPathA(0, nullptr);
    std::vector<char> buffer(size + 1);
    const DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) {
        return ".\\";
    }
    std::string path(buffer.data(), length);
    if (path.back() != '\\' && path.back() != '/') {
        path += '\\';
    }
    return path;
}

int AnsiCodePage() { return static_cast<int>(GetACP()); }

std::optional<std::string> WineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) {
        return std::nullopt;
    }
    using Getter = const char*(__cdecl*)();
    const FARPROC proc = GetProcAddress(ntdll, "wine_get_version");
    if (proc == nullptr) {
        return std::nullopt;
    }
    // The usual way to call an export of a known type; the cast goes through void*.
    const auto getter = reinterpret_cast<Getter>(reinterpret_cast<void*>(proc));
    const char* version = getter();
    return std::string(version != nullptr ? version : "");
}

}  // namespace quillax::platform
