// SHA-256 digests, from the system's cryptographic library (OpenSSL's libcrypto on Linux, the
// CryptoAPI on Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillax::platform {

// The SHA-256 digest of the bytes as 64 lower-case hexadecimal digits, or nothing when the
// library is not available.
std::optional<std::string> Sha256Hex(std::string_view bytes);

}  // namespace quillax::platform
