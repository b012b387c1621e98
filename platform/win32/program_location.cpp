// Program locations on Windows: the ANSI functions report them in the program's form already.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/program_location.h"

namespace quillax::platform {
namespace {

// Calls `query(buffer, size)`, which returns the length written, or the size needed when the
// buffer is too small (as GetCurrentDirectoryA and GetSystemDirectoryA do), until it fits.
template <class Query>
std::string QueryText(Query query) {
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::string(buffer.data(), n);
        }
        buffer.resize(static_cast<std::size_t>(n) + 1);
    }
    return {};
}

// The position of the last "\" that is not the trail byte of a double-byte character.
std::size_t LastSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            last = i;
        }
    }
    return last;
}

}  // namespace

std::string StartDirectory() {
    return QueryText([](char* buffer, DWORD size) { return GetCurrentDirectoryA(size, buffer); });
}

std::string ProgramPath() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            return std::string(buffer.data(), n);
        }
        buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
    }
    return {};
}

std::string ProgramDirectory() {
    const std::string path = ProgramPath();
    const std::size_t last = LastSeparator(path);
    if (last == std::string::npos) {
        return {};
    }
    // "C:\envoke.exe" keeps the root's "\".
    return path.substr(0, last > 0 && path[last - 1] == ':' ? last + 1 : last);
}

std::string SystemDirectory() {
    return QueryText([](char* buffer, DWORD size) { return GetSystemDirectoryA(buffer, size); });
}

}  // namespace quillax::platform
