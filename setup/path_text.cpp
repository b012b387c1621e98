#include "setup/path_text.h"

namespace quillax {

bool StaysInside(std::string_view relativePath) {
    if (relativePath.empty() || relativePath.front() == '\\' || relativePath.front() == '/') {
        return relativePath.empty();
    }
    std::size_t partStart = 0;
    for (std::size_t i = 0; i <= relativePath.size(); ++i) {
        if (i < relativePath.size() && GbkCharSize(relativePath, i) == 2) {
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
