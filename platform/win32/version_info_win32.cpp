// Version strings on Windows: the version resource, read without loading the file.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/version_info.h"

namespace quillax::platform {
namespace {

// The string value `name` of block 040904b0; false when the block has no such value.
bool QueryString(const std::vector<char>& data, const char* name, std::string& value) {
    std::string query = "\\StringFileInfo\\040904b0\\";
    query += name;
    void* text = nullptr;
    UINT length = 0;
    // VerQueryValueA takes a non-const buffer but only reads it.
    if (!VerQueryValueA(const_cast<char*>(data.data()), query.c_str(), &text, &length) ||
        text == nullptr) {
        return false;
    }
    // The length counts characters including the terminator for string values; stop at the
    // first zero byte in any case.
    const char* chars = static_cast<const char*>(text);
    std::size_t n = 0;
    while (n < length && chars[n] != '\0') {
        ++n;
    }
    value.assign(chars, n);
    return true;
}

}  // namespace

std::optional<VersionStrings> ReadVersionStrings(std::string_view path) {
    const std::string file(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) {
        return std::nullopt;
    }
    VersionStrings strings;
    const bool hasVersion = QueryString(data, "FileVersion", strings.fileVersion);
    const bool hasLegal = QueryString(data, "LegalCopyright", strings.legalCopyright);
    if (!hasVersion && !hasLegal) {
        return std::nullopt;  // no block 040904b0
    }
    return strings;
}

}  // namespace quillax::platform
