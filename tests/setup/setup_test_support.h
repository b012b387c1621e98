// Helpers of the set-up tool's tests: temporary installations on disk, index records written
// by hand from the layouts, and a guard for the current directory.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace quillax::testsupport {

// Removes a directory tree, read-only files included.
using platform::RemoveTree;

// A fresh directory under the test temporary directory, removed with everything in it at the
// end of the test. Path() ends in "\".
class TempDirectory {
public:
    TempDirectory() {
        static std::atomic<unsigned> counter{0};
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = ::testing::TempDir() + "quillax_setup_" + std::to_string(ticks % 1000000007) + "_" +
                std::to_string(counter.fetch_add(1));
        platform::MakeDirectories(path_);
    }
    ~TempDirectory() { RemoveTree(path_); }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    // The directory with a trailing "\".
    std::string Path() const { return path_ + "\\"; }
    // The directory without it.
    const std::string& Bare() const { return path_; }

private:
    std::string path_;
};

// An installation for the set-up tool: a root directory whose cfg directory holds bible.ini
// and the subdirectories sys and usr.
class TempInstallation {
public:
    TempInstallation() {
        platform::MakeDirectories(Config() + "sys");
        platform::MakeDirectories(Config() + "usr");
        platform::WriteWholeFile(Config() + "bible.ini", "[bible]\r\nSYSKEY=corpa\r\n");
    }
    std::string Root() const { return dir_.Path(); }
    std::string RootBare() const { return dir_.Bare(); }
    std::string Config() const { return dir_.Path() + "cfg\\"; }
    // Writes a file below the configuration directory.
    void Write(const std::string& name, std::string_view bytes) const {
        ASSERT_TRUE(platform::WriteWholeFile(Config() + name, bytes)) << name;
    }
    std::string Read(const std::string& name) const {
        return platform::ReadWholeFile(Config() + name).value_or("<missing>");
    }

private:
    TempDirectory dir_;
};

// Restores the current directory at the end of a scope.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(platform::CurrentDirectory()) {}
    ~CurrentDirectoryGuard() { platform::ChangeDirectory(saved_); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    std::string saved_;
};

// ---- index records, written from the layouts --------------------------------------------

inline std::string Le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
    return bytes;
}

// The record of a chapter number (book x 1000 + chapter): 16-bit (n - 1000), ":", "=", offset.
inline std::string ChapterRecord(int chapterNumber, std::uint32_t offset) {
    const auto stored = static_cast<unsigned>(chapterNumber - 1000);
    std::string bytes;
    bytes.push_back(static_cast<char>(stored & 0xFFu));
    bytes.push_back(static_cast<char>(stored >> 8));
    bytes += ":=";
    return bytes + Le32(offset);
}

// The record of a text key: its bytes, "=", offset. The terminal record has the empty key.
inline std::string TextRecord(std::string_view key, std::uint32_t offset) {
    return std::string(key) + "=" + Le32(offset);
}

}  // namespace quillax::testsupport
