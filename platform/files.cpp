// The portable part of the file layer: conversions and helpers built on the system part.
#include "platform/files.h"

#include <atomic>
#include <optional>
#include <string>

#include "platform/files_detail.h"

namespace quillax::platform {
namespace {

std::atomic<WriteFault> writeFault{WriteFault::None};

// Position of the last "\" or "/" of a path that is not the trail byte of a GBK character, or
// npos.
std::size_t LastSeparatorOf(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto b = static_cast<unsigned char>(path[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < path.size()) {
            ++i;
        } else if (b == '\\' || b == '/') {
            last = i;
        }
    }
    return last;
}

// The directory that holds `path`, or "." for a bare name; a root ("\", "C:\") stays itself.
std::string ParentOf(const std::string& path) {
    const std::size_t cut = LastSeparatorOf(path);
    if (cut == std::string::npos) {
        return ".";
    }
    const bool driveRoot = cut == 2 && path[1] == ':';
    return path.substr(0, cut == 0 || driveRoot ? cut + 1 : cut);
}

// Whether the real path `inner` is `outer` or lies below it.
bool Within(const std::string& inner, const std::string& outer) {
    if (inner == outer) {
        return true;
    }
    std::string prefix = outer;
    if (prefix.empty() || (prefix.back() != '\\' && prefix.back() != '/')) {
        prefix += '\\';
    }
    return inner.size() > prefix.size() && inner.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

namespace detail {

WriteFault CurrentWriteFault() { return writeFault.load(); }

std::string TemporaryFileName(std::string_view marker, std::string_view baseName,
                              std::string_view unique, std::size_t limit) {
    std::string name(marker);
    if (marker.size() + baseName.size() + 1 + unique.size() + 4 <= limit) {
        name.append(baseName);
        name += '.';
    }
    name.append(unique);
    name += ".tmp";
    return name;
}

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

bool StaysWithin(std::string_view path, std::string_view directory) {
    const std::optional<std::string> outer = RealPath(directory);
    if (!outer) {
        return false;
    }
    std::string probe(path);
    while (probe.size() > 1 && LastSeparatorOf(probe) == probe.size() - 1 &&
           !(probe.size() == 3 && probe[1] == ':')) {
        probe.pop_back();
    }
    if (probe.empty()) {
        probe = ".";
    }
    // Up to the nearest part that exists: what does not exist yet will be made below it.
    for (;;) {
        if (GetFileAttributeBits(probe)) {
            const std::optional<std::string> inner = RealPath(probe);
            return inner && Within(*inner, *outer);
        }
        const std::string parent = ParentOf(probe);
        if (parent == probe) {
            return false;  // a root that does not exist
        }
        probe = parent;
    }
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
