// Shared by the portable and the system parts of the file layer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace quillax::platform::detail {

// The failure that SetWriteFault asked WriteWholeFile to simulate.
WriteFault CurrentWriteFault();

// The name of the temporary file that is written in place of the file `baseName` and then
// renamed over it: marker + baseName + "." + unique + ".tmp", or, when that would be longer than
// `limit` bytes (a name of 243 bytes and more reaches the system's limit of 255), marker +
// unique + ".tmp", which always fits. `unique` tells the temporary files of one directory apart.
std::string TemporaryFileName(std::string_view marker, std::string_view baseName,
                              std::string_view unique, std::size_t limit);

// Seconds between 1601-01-01 and 1970-01-01 (UTC).
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::int64_t kFileTimeTicksPerSecond = 10000000;

}  // namespace quillax::platform::detail
