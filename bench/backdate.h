// Dates a generated installation back a minute. The module reader's cache reads a file written
// within the last seconds afresh on every call; the benchmarks measure the engine as it runs on
// an installed text, so its files must look older than that.
#pragma once

#include <chrono>
#include <string>

#include "platform/files.h"

namespace quillax::bench {

inline void Backdate(const std::string& path) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    platform::FileTimes times;
    times.lastWrite = times.lastAccess = platform::FileTimeFromUnixSeconds(now - 60);
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(path)) {
        const std::string child = path + "/" + entry.name;
        if ((entry.attributes & platform::kAttrDirectory) != 0) {
            Backdate(child);
        } else {
            platform::SetFileTimes(child, times);
        }
    }
}

}  // namespace quillax::bench
