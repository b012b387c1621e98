#include <cstdlib>
#include <string>

#include "platform/environment.h"

namespace quillax::platform {

std::optional<std::string> GetEnvironmentValue(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

bool SetEnvironmentValue(std::string_view name, std::optional<std::string_view> value) {
    const std::string key(name);
    if (key.empty() || key.find('=') != std::string::npos) {
        return false;
    }
    if (!value) {
        return unsetenv(key.c_str()) == 0;
    }
    return setenv(key.c_str(), std::string(*value).c_str(), 1) == 0;
}

std::string TemporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path.back() != '/') {
        path += '/';
    }
    return path;
}

int AnsiCodePage() { return 936; }

std::optional<std::string> WineVersion() { return std::nullopt; }

}  // namespace quillax::platform
