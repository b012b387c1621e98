// The portable part of the file layer: conversions and helpers built on the system part.
#include "platform/files.h"

#include <atomic>

#include "platform/files_detail.h"

namespace quillax::platform {
namespace {

std::atomic<WriteFault> writeFault{WriteFault::None};

}  // namespace

namespace detail {

WriteFault CurrentWriteFault() { return writeFault.load(); }

}  // namespace detail

void SetWriteFault(WriteFault fault) { writeFault.store(fault); }

bool PathExists(std::string_view path) { return GetFileAttributeBits(path).has_value(); }

bool IsReadOnly(std::string_view path) {
    const auto attributes = GetFileAttributeBits(path);
    return attributes && (*attributes & kAttrReadOnly) != 0;
}

bool SetReadOnly(std::string_view path, bool readOnly) {
    const auto attributes = GetFileAttributeBits(path);
    if (!attributes) {
        return false;
    }
    std::uint32_t bits = *attributes & ~(kAttrDirectory | kAttrNormal);
    bits = readOnly ? (bits | kAttrReadOnly) : (bits & ~kAttrReadOnly);
    return SetFileAttributeBits(path, bits == 0 ? kAttrNormal : bits);
}

FileTime FileTimeFromUnixSeconds(std::int64_t seconds) {
    const std::int64_t since1601 = seconds + detail::kUnixEpochInFileTimeSeconds;
    if (since1601 <= 0) {
        return 0;
    }
    return static_cast<FileTime>(since1601) *
           static_cast<FileTime>(detail::kFileTimeTicksPerSecond);
}

std::int64_t UnixSecondsFromFileTime(FileTime time) {
    const auto ticks = static_cast<FileTime>(detail::kFileTimeTicksPerSecond);
    return static_cast<std::int64_t>(time / ticks) - detail::kUnixEpochInFileTimeSeconds;
}

bool RemoveTree(std::string_view path) {
    const std::string base(path);
    for (const DirectoryEntry& entry : ListDirectory(base)) {
        const std::string child = base + "\\" + entry.name;
        if ((entry.attributes & kAttrDirectory) != 0) {
            RemoveTree(child);
        } else {
            SetReadOnly(child, false);
            RemoveFile(child);
        }
    }
    SetReadOnly(base, false);
    return RemoveEmptyDirectory(base);
}

}  // namespace quillax::platform
