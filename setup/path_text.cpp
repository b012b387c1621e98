#include "setup/path_text.h"

namespace quillax {

int LastPathSeparator(std::string_view path) {
    int last = -1;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x80) {
            ++i;  // a double-byte character: its trail byte is no separator
        } else if (byte == '\\' || byte == '/') {
            last = static_cast<int>(i);
        }
    }
    return last;
}

GbString DirectoryPart(std::string_view path) {
    const int last = LastPathSeparator(path);
    return last < 0 ? GbString() : GbString(path.substr(0, static_cast<std::size_t>(last)));
}

GbString NamePart(std::string_view path) {
    const int last = LastPathSeparator(path);
    return GbString(path.substr(static_cast<std::size_t>(last + 1)));
}

bool StaysInside(std::string_view relativePath) {
    if (relativePath.empty() || relativePath.front() == '\\' || relativePath.front() == '/') {
        return relativePath.empty();
    }
    std::size_t partStart = 0;
    for (std::size_t i = 0; i <= relativePath.size(); ++i) {
        if (i < relativePath.size() && static_cast<unsigned char>(relativePath[i]) >= 0x81 &&
            i + 1 < relativePath.size()) {
            ++i;  // a double-byte character
            continue;
        }
        if (i < relativePath.size() && (relativePath[i] == ':' || relativePath[i] == '\0')) {
            return false;
        }
        if (i == relativePath.size() || relativePath[i] == '\\' || relativePath[i] == '/') {
            if (relativePath.substr(partStart, i - partStart) == "..") {
                return false;
            }
            partStart = i + 1;
        }
    }
    return true;
}

}  // namespace quillax
