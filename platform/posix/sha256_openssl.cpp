// SHA-256 on Linux with OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace quillax::platform {

std::optional<std::string> Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    static const char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0F];
    }
    return text;
}

}  // namespace quillax::platform
