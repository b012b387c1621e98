// The system side of the conversion tables on Linux: iconv for the code pages and OpenCC's
// one-character dictionaries for the simplified/traditional mapping.
#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <opencc/MarisaDict.hpp>
#include <opencc/SerializableDict.hpp>

#include "platform/code_page.h"
#include "platform/code_page_backend.h"

namespace quillax::platform::detail {
namespace {

// One iconv conversion to UTF-16LE, used for one character at a time.
class Iconv {
public:
    explicit Iconv(const char* from) : handle_(iconv_open("UTF-16LE", from)) {}
    ~Iconv() {
        if (ok()) {
            iconv_close(handle_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // True when the bytes are exactly one character of the basic plane.
    bool Decode(const unsigned char* bytes, int count, char16_t& unit) {
        if (!ok()) {
            return false;
        }
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        char in[2] = {static_cast<char>(bytes[0]),
                      count > 1 ? static_cast<char>(bytes[1]) : '\0'};
        char out[8] = {};
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = static_cast<std::size_t>(count);
        std::size_t outLeft = sizeof out;
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0 || sizeof out - outLeft != 2) {
            return false;
        }
        unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                     (static_cast<unsigned char>(out[1]) << 8));
        return unit < 0xD800 || unit > 0xDFFF;
    }

private:
    iconv_t handle_;
};

// GBK's user-defined areas: AAA1-AFFE, F8A1-FEFE and A140-A7A0.
bool IsUserDefinedGbk(unsigned char lead, unsigned char trail) {
    if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1) {
        return true;
    }
    if (lead >= 0xF8 && trail >= 0xA1) {
        return true;
    }
    return lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0;
}

bool IsPrivateUse(char16_t unit) { return unit >= 0xE000 && unit <= 0xF8FF; }

// Big5's user-defined areas, which code page 950 maps to the private use area row by row
// (157 places a row: trail bytes 0x40-0x7E, then 0xA1-0xFE). glibc's CP950 leaves them
// undefined.
bool DecodeBig5UserDefined(unsigned char lead, unsigned char trail, char16_t& unit) {
    int place;
    if (trail >= 0x40 && trail <= 0x7E) {
        place = trail - 0x40;
    } else if (trail >= 0xA1 && trail <= 0xFE) {
        place = trail - 0xA1 + 63;
    } else {
        return false;
    }
    int first;  // the first unit of the area, and its first lead byte
    int firstLead;
    if (lead >= 0xFA && lead <= 0xFE) {
        first = 0xE000;
        firstLead = 0xFA;
    } else if (lead >= 0x8E && lead <= 0xA0) {
        first = 0xE311;
        firstLead = 0x8E;
    } else if (lead >= 0x81 && lead <= 0x8D) {
        first = 0xEEB8;
        firstLead = 0x81;
    } else {
        return false;
    }
    unit = static_cast<char16_t>(first + (lead - firstLead) * 157 + place);
    return true;
}

class IconvDecoder : public CharacterDecoder {
public:
    explicit IconvDecoder(CodePage codePage)
        : codePage_(codePage),
          main_(codePage == CodePage::Gbk ? "CP936" : "CP950"),
          fallback_(codePage == CodePage::Gbk ? "GB18030" : "BIG5") {}

    bool usable() const { return main_.ok() || (codePage_ == CodePage::Big5 && fallback_.ok()); }

    bool Decode(const unsigned char* bytes, int count, char16_t& unit) override {
        if (main_.Decode(bytes, count, unit)) {
            return true;
        }
        if (count != 2) {
            return false;
        }
        if (codePage_ == CodePage::Gbk) {
            return DecodeGbkFree(bytes[0], bytes[1], unit);
        }
        if (DecodeBig5UserDefined(bytes[0], bytes[1], unit)) {
            return true;
        }
        return !main_.ok() && fallback_.Decode(bytes, count, unit);
    }

private:
    // Code page 936 defines every pair: those that GBK leaves free go to the private use
    // area, which glibc's CP936 does not do. The three user-defined areas have the mapping of
    // GB18030 (U+E000-U+E765); the remaining free pairs are numbered in code order from
    // U+E766.
    bool DecodeGbkFree(unsigned char lead, unsigned char trail, char16_t& unit) {
        if (IsUserDefinedGbk(lead, trail)) {
            return fallback_.Decode(std::array<unsigned char, 2>{lead, trail}.data(), 2, unit) &&
                   IsPrivateUse(unit);
        }
        if (freePairs_.empty()) {
            NumberFreePairs();
        }
        const std::uint16_t number = freePairs_[static_cast<std::size_t>((lead << 8) | trail)];
        if (number == 0) {
            return false;
        }
        unit = static_cast<char16_t>(0xE766 + number - 1);
        return true;
    }

    void NumberFreePairs() {
        freePairs_.assign(65536, 0);
        std::uint16_t next = 1;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                               static_cast<unsigned char>(trail)};
                char16_t unused = 0;
                if (trail == 0x7F || IsUserDefinedGbk(pair[0], pair[1]) ||
                    main_.Decode(pair, 2, unused)) {
                    continue;
                }
                freePairs_[static_cast<std::size_t>((lead << 8) | trail)] = next++;
            }
        }
    }

    CodePage codePage_;
    Iconv main_;
    Iconv fallback_;
    std::vector<std::uint16_t> freePairs_;  // (lead << 8) | trail -> number from 1, 0 = none
};

class OpenccMapper : public ChineseMapper {
public:
    explicit OpenccMapper(std::shared_ptr<opencc::MarisaDict> dict) : dict_(std::move(dict)) {}

    bool Map(unsigned char lead, unsigned char trail, unsigned char out[2]) override {
        const char gbk[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const std::string utf8 = GbkToUtf8(std::string_view(gbk, 2));
        std::string mapped;
        try {
            const auto entry = dict_->Match(utf8.data(), utf8.size());
            if (entry.IsNull()) {
                return false;
            }
            mapped = entry.Get()->GetDefault();  // the first (most usual) counterpart
        } catch (...) {
            return false;
        }
        const std::u16string wide = Utf8ToUtf16(mapped);
        if (wide.size() != 1) {
            return false;  // a counterpart outside the basic plane or more than one character
        }
        const std::string back = Utf16ToGbk(wide);
        if (back.size() != 2) {
            return false;  // not a GBK double-byte character ("?" or ASCII)
        }
        out[0] = static_cast<unsigned char>(back[0]);
        out[1] = static_cast<unsigned char>(back[1]);
        return true;
    }

private:
    std::shared_ptr<opencc::MarisaDict> dict_;
};

}  // namespace

std::unique_ptr<CharacterDecoder> OpenCharacterDecoder(CodePage codePage) {
    auto decoder = std::make_unique<IconvDecoder>(codePage);
    if (!decoder->usable()) {
        return nullptr;
    }
    return decoder;
}

std::unique_ptr<ChineseMapper> OpenChineseMapper(bool toTraditional) {
    // OpenCC's data directory; QUILLAX_OPENCC_DIR points elsewhere (for a private install).
    const char* dir = std::getenv("QUILLAX_OPENCC_DIR");
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/usr/share/opencc";
    path += toTraditional ? "/STCharacters.ocd2" : "/TSCharacters.ocd2";
    try {
        auto dict = opencc::SerializableDict::NewFromFile<opencc::MarisaDict>(path);
        if (!dict) {
            return nullptr;
        }
        return std::make_unique<OpenccMapper>(std::move(dict));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace quillax::platform::detail
