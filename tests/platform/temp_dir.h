// A fresh directory under the system's temporary directory for one test, removed with
// everything in it at the end. Paths are joined with "\" as the program writes them.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/files.h"

namespace quillax::testing {

class TempDir {
public:
    TempDir() {
        std::random_device device;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::mt19937_64 random(device() ^ static_cast<std::uint64_t>(now));
        const std::string base = platform::TemporaryDirectory() + "qx-test-";
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string candidate = base + std::to_string(random() % 1000000000u);
            if (!platform::PathExists(candidate) && platform::MakeDirectories(candidate)) {
                path_ = candidate;
            }
        }
    }
    ~TempDir() {
        if (!path_.empty()) {
            platform::RemoveTree(path_);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "\" + relative
    std::string operator/(std::string_view relative) const {
        return path_ + "\\" + std::string(relative);
    }


private:
    std::string path_;
};

}  // namespace quillax::testing
