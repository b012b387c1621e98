// The parts of the HTTP layer that are the same on every platform.
#include "platform/http.h"

namespace quillax::platform {

std::optional<std::uint64_t> ParseContentLength(std::string_view value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!value.empty() && blank(value.front())) {
        value.remove_prefix(1);
    }
    while (!value.empty() && blank(value.back())) {
        value.remove_suffix(1);
    }
    if (value.empty() || value.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return number;
}

}  // namespace quillax::platform
