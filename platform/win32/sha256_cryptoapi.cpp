// SHA-256 on Windows with the CryptoAPI (the AES provider carries SHA-256 from Windows XP SP3).
#include <windows.h>
#include <wincrypt.h>

#include "platform/sha256.h"

namespace quillax::platform {
namespace {

// CALG_SHA_256 (hash class, any type, SID 12); the headers declare it only for targets newer
// than the XP baseline this program is built for, though XP SP3 supports it.
constexpr ALG_ID kSha256Algorithm = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

}  // namespace

std::optional<std::string> Sha256Hex(std::string_view bytes) {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, kSha256Algorithm, 0, 0, &hash)) {
        bool ok = true;
        std::string_view rest = bytes;
        while (ok && !rest.empty()) {
            const DWORD chunk = rest.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(rest.size());
            ok = CryptHashData(hash, reinterpret_cast<const BYTE*>(rest.data()), chunk, 0) != 0;
            rest.remove_prefix(chunk);
        }
        BYTE digest[32];
        DWORD length = sizeof digest;
        if (ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0) && length == sizeof digest) {
            static const char hex[] = "0123456789abcdef";
            std::string out;
            for (DWORD i = 0; i < length; ++i) {
                out += hex[digest[i] >> 4];
                out += hex[digest[i] & 0x0F];
            }
            text = out;
        }
        CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
    return text;
}

}  // namespace quillax::platform
