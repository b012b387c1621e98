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

LowSpeedWatch::LowSpeedWatch(std::uint64_t bytesPerSecond, long windowMs, long long nowMs)
    : bytesPerSecond_(bytesPerSecond),
      windowMs_(windowMs > 0 ? windowMs : 1),
      windowShare_(bytesPerSecond * static_cast<std::uint64_t>(windowMs_) / 1000),
      windowStartMs_(nowMs) {}

bool LowSpeedWatch::TooSlow(std::uint64_t received, long long nowMs) {
    if (received - windowStartBytes_ >= windowShare_) {
        windowStartMs_ = nowMs;
        windowStartBytes_ = received;
        return false;
    }
    return bytesPerSecond_ > 0 && nowMs - windowStartMs_ >= windowMs_;
}

std::string LowSpeedWatch::Text() const {
    return "the transfer stayed under " + std::to_string(bytesPerSecond_) + " bytes a second for " +
           std::to_string(windowMs_ / 1000) + "." + std::to_string(windowMs_ % 1000 / 100) + " s";
}

}  // namespace quillax::platform
