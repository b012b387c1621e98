// Character-set conversions: GBK (code page 936, the program's text), Big5 (code page 950),
// UTF-16 (the browser's wide text) and UTF-8 (the development host's wire and Linux file
// names), and the character-by-character mapping between simplified and traditional Chinese.
//
// The code-page tables come from the system: MultiByteToWideChar / LCMapStringA on Windows,
// iconv (CP936, CP950) and OpenCC's character dictionaries on Linux, where the private-use
// mappings of Windows that glibc lacks are added (GBK's user-defined areas and free pairs,
// Big5's user-defined areas), so both platforms decode every byte sequence alike. The tables
// are built once, on first use, and every conversion then follows these rules:
//
// Decoding GBK or Big5 (to UTF-16, or on the way to another code page):
//  - a byte below 0x80 is that ASCII character;
//  - a lead byte (0x81-0xFE) followed by a byte of the trail range of the code page is one
//    character; when the code page does not define that pair it becomes one U+FFFD (code
//    page 936 defines every such pair: those outside GBK's characters are private use);
//  - any other byte (a lead byte at the end or before a byte outside the trail range, 0xFF, a
//    lone 0x80 that the code page does not define) becomes U+FFFD alone, and decoding goes on
//    with the next byte, so an ASCII byte after a broken lead byte survives.
//    GBK's trail range is 0x40-0x7E and 0x80-0xFE; Big5's is 0x40-0x7E and 0xA1-0xFE.
// Encoding UTF-16 (to GBK or Big5):
//  - a character that the code page lacks, a lone surrogate, and a pair of surrogates (the
//    code pages hold nothing outside the basic plane) become one "?".
// UTF-8: an invalid or truncated sequence, an overlong form or an encoded surrogate becomes
//  U+FFFD per offending byte; a lone surrogate in UTF-16 becomes U+FFFD in UTF-8.
//
// No function throws.
#pragma once

#include <string>
#include <string_view>

namespace quillax::platform {

std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view wide);

std::u16string Big5ToUtf16(std::string_view big5);
std::string Utf16ToBig5(std::u16string_view wide);

// Through UTF-16 with the rules above: a character missing from the target becomes "?". No
// simplified/traditional mapping happens here.
std::string GbkToBig5(std::string_view gbk);
std::string Big5ToGbk(std::string_view big5);

std::string Utf16ToUtf8(std::u16string_view wide);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// True when every byte of the text decodes as GBK (no U+FFFD would be produced).
bool IsValidGbk(std::string_view gbk);

// Simplified to traditional Chinese characters (and back), one GBK character at a time, in
// place: a two-byte character with a counterpart in GBK is replaced by that counterpart, every
// other byte stays, so the length never changes. The mapping is the system's one-character
// mapping (LCMapStringA with LCMAP_TRADITIONAL_CHINESE / LCMAP_SIMPLIFIED_CHINESE on Windows,
// OpenCC's STCharacters / TSCharacters dictionaries on Linux), never a phrase conversion. False
// when the mapping is not available (the text is then unchanged).
bool GbkToTraditional(std::string& gbk);
bool GbkToSimplified(std::string& gbk);

}  // namespace quillax::platform
