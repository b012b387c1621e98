// Helpers of the updater's tests: scratch directories, file contents and times, and ZIP
// archives built in memory (with the extra fields the updater reads).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace quillax::testing {

// A fresh directory for one test under the temporary directory, removed with its contents at
// the end. Paths below it are joined with "\".
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The directory, ending in "\".
    const std::string& dir() const { return dir_; }
    std::string operator/(std::string_view relative) const { return dir_ + std::string(relative); }

private:
    std::string dir_;
};

// Makes `path` the working directory until the end of the scope.
class WorkingDirectoryScope {
public:
    explicit WorkingDirectoryScope(std::string_view path);
    ~WorkingDirectoryScope();
    WorkingDirectoryScope(const WorkingDirectoryScope&) = delete;
    WorkingDirectoryScope& operator=(const WorkingDirectoryScope&) = delete;

private:
    std::string previous_;
};

using platform::RemoveTree;
// Copies a directory tree (files and directories).
bool CopyTree(const std::string& from, const std::string& to);

bool WriteFileBytes(std::string_view path, std::string_view bytes);
// The file's bytes; the empty text when it cannot be read.
std::string FileBytes(std::string_view path);
// Sets the last-write time (and last-access time) of a file to a local time.
bool SetLocalWriteTime(std::string_view path, const platform::CalendarTime& local);

// ---- ZIP archives ---------------------------------------------------------------------------

struct ZipEntry {
    ZipEntry(std::string entryName, std::string entryData = {}, bool deflated = false,
             std::uint32_t dos = 0, std::uint32_t attributes = 0, std::uint16_t madeBy = 20,
             std::string extra = {})
        : name(std::move(entryName)), data(std::move(entryData)), deflate(deflated),
          dosDateTime(dos), externalAttributes(attributes), versionMadeBy(madeBy),
          centralExtra(std::move(extra)) {}

    std::string name;
    std::string data;
    bool deflate = false;
    std::uint32_t dosDateTime = 0;  // date in the high 16 bits, time in the low ones
    std::uint32_t externalAttributes = 0;
    std::uint16_t versionMadeBy = 20;  // host 0 (FAT), version 2.0
    std::string centralExtra;          // extra field of the central directory record
    std::string localExtra;            // extra field of the local header
};

constexpr std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

// An extended-timestamp block ("UT"): the flag byte and the given times (seconds since 1970).
std::string TimestampExtra(std::uint8_t flags, const std::vector<std::int32_t>& seconds);

// The whole archive; the entry named corruptCrcOf gets a wrong CRC.
std::string BuildZip(const std::vector<ZipEntry>& entries, const std::string& corruptCrcOf = {});

}  // namespace quillax::testing
