// What code_page.cpp needs from the system to build its conversion tables: one character at a
// time, asked once per possible character when a table is first used. Implemented in
// platform/win32/code_page_win32.cpp and platform/posix/code_page_posix.cpp.
#pragma once

#include <memory>

namespace quillax::platform::detail {

enum class CodePage { Gbk, Big5 };

class CharacterDecoder {
public:
    virtual ~CharacterDecoder() = default;
    // Decodes one character of 1 or 2 bytes. True, with its UTF-16 unit, when the code page
    // defines exactly these bytes as one character of the basic plane.
    virtual bool Decode(const unsigned char* bytes, int count, char16_t& unit) = 0;
};

// Nothing when the code page is not available on this system.
std::unique_ptr<CharacterDecoder> OpenCharacterDecoder(CodePage codePage);

class ChineseMapper {
public:
    virtual ~ChineseMapper() = default;
    // Maps one GBK double-byte character to its traditional (or simplified) counterpart. True
    // with the counterpart's two GBK bytes when the system maps it to another GBK double-byte
    // character; false when the character stays as it is.
    virtual bool Map(unsigned char lead, unsigned char trail, unsigned char out[2]) = 0;
};

// Nothing when the mapping is not available on this system.
std::unique_ptr<ChineseMapper> OpenChineseMapper(bool toTraditional);

}  // namespace quillax::platform::detail
