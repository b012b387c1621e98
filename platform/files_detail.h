// Shared by the portable and the system parts of the file layer.
#pragma once

#include "platform/files.h"

namespace quillax::platform::detail {

// The failure that SetWriteFault asked WriteWholeFile to simulate.
WriteFault CurrentWriteFault();

// Seconds between 1601-01-01 and 1970-01-01 (UTC).
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::int64_t kFileTimeTicksPerSecond = 10000000;

}  // namespace quillax::platform::detail
