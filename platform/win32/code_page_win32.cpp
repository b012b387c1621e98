// The system side of the conversion tables on Windows: MultiByteToWideChar for the code pages
// and LCMapStringA for the simplified/traditional mapping.
#include <windows.h>

#include <memory>

#include "platform/code_page_backend.h"

namespace quillax::platform::detail {
namespace {

class WindowsDecoder : public CharacterDecoder {
public:
    explicit WindowsDecoder(UINT codePage) : codePage_(codePage) {}

    bool Decode(const unsigned char* bytes, int count, char16_t& unit) override {
        wchar_t wide[2] = {};
        const int n = MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS,
                                          reinterpret_cast<const char*>(bytes), count, wide, 2);
        if (n != 1 || (wide[0] >= 0xD800 && wide[0] <= 0xDFFF)) {
            return false;
        }
        unit = static_cast<char16_t>(wide[0]);
        return true;
    }

private:
    UINT codePage_;
};

class WindowsMapper : public ChineseMapper {
public:
    WindowsMapper(LCID locale, DWORD flags) : locale_(locale), flags_(flags) {}

    bool Map(unsigned char lead, unsigned char trail, unsigned char out[2]) override {
        const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char mapped[4] = {};
        if (LCMapStringA(locale_, flags_, in, 2, mapped, 4) != 2) {
            return false;
        }
        out[0] = static_cast<unsigned char>(mapped[0]);
        out[1] = static_cast<unsigned char>(mapped[1]);
        return true;
    }

private:
    LCID locale_;
    DWORD flags_;
};

}  // namespace

std::unique_ptr<CharacterDecoder> OpenCharacterDecoder(CodePage codePage) {
    const UINT cp = codePage == CodePage::Gbk ? 936 : 950;
    if (!IsValidCodePage(cp)) {
        return nullptr;
    }
    return std::make_unique<WindowsDecoder>(cp);
}

std::unique_ptr<ChineseMapper> OpenChineseMapper(bool toTraditional) {
    // The locale ids of simplified Chinese (PRC) whose ANSI code page is 936.
    if (toTraditional) {
        return std::make_unique<WindowsMapper>(0x20804, LCMAP_TRADITIONAL_CHINESE);
    }
    return std::make_unique<WindowsMapper>(0x0804, LCMAP_SIMPLIFIED_CHINESE);
}

}  // namespace quillax::platform::detail
