// Table-driven character-set conversions. The tables are filled once from the system (see
// code_page_backend.h), so the treatment of broken input is the same on every platform and a
// conversion costs one table lookup per character.
#include "platform/code_page.h"

#include <cstdint>
#include <vector>

#include "platform/code_page_backend.h"

namespace quillax::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// A double-byte code page: the UTF-16 unit of every byte pair and of every single byte from
// 0x80, and the reverse table. 0 marks an undefined entry (no character of these code pages
// decodes to U+0000 from a byte >= 0x80).
struct DbcsTable {
    std::vector<char16_t> pairs = std::vector<char16_t>(65536, 0);  // (lead << 8) | trail
    std::vector<char16_t> singles = std::vector<char16_t>(128, 0);  // byte - 0x80
    // UTF-16 unit -> bytes: 0 none, below 0x100 a single byte, otherwise (lead << 8) | trail.
    std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(65536, 0);
    detail::CodePage codePage = detail::CodePage::Gbk;
};

bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

bool IsTrailByte(detail::CodePage codePage, unsigned char b) {
    if (b >= 0x40 && b <= 0x7E) {
        return true;
    }
    if (codePage == detail::CodePage::Gbk) {
        return b >= 0x80 && b <= 0xFE;
    }
    return b >= 0xA1 && b <= 0xFE;
}

DbcsTable BuildTable(detail::CodePage codePage) {
    DbcsTable table;
    table.codePage = codePage;
    const auto decoder = detail::OpenCharacterDecoder(codePage);
    if (!decoder) {
        return table;
    }
    unsigned char bytes[2];
    char16_t unit = 0;
    // Single bytes first, then pairs in code order: the first code that gives a character is
    // the one it encodes back to.
    for (int b = 0x80; b <= 0xFF; ++b) {
        bytes[0] = static_cast<unsigned char>(b);
        if (decoder->Decode(bytes, 1, unit) && unit >= 0x80) {
            table.singles[static_cast<std::size_t>(b - 0x80)] = unit;
            if (table.encode[unit] == 0) {
                table.encode[unit] = static_cast<std::uint16_t>(b);
            }
        }
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsTrailByte(codePage, static_cast<unsigned char>(trail))) {
                continue;
            }
            bytes[0] = static_cast<unsigned char>(lead);
            bytes[1] = static_cast<unsigned char>(trail);
            if (decoder->Decode(bytes, 2, unit) && unit >= 0x80) {
                const auto code = static_cast<std::uint16_t>((lead << 8) | trail);
                table.pairs[code] = unit;
                if (table.encode[unit] == 0) {
                    table.encode[unit] = code;
                }
            }
        }
    }
    return table;
}

const DbcsTable& Gbk() {
    static const DbcsTable table = BuildTable(detail::CodePage::Gbk);
    return table;
}

const DbcsTable& Big5() {
    static const DbcsTable table = BuildTable(detail::CodePage::Big5);
    return table;
}

// Calls emit(unit, ok) for every character of the text; ok is false for U+FFFD replacements.
template <class Emit>
void DecodeDbcs(const DbcsTable& table, std::string_view text, Emit emit) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            emit(static_cast<char16_t>(b), true);
            ++i;
            continue;
        }
        if (IsLeadByte(b) && i + 1 < n) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (IsTrailByte(table.codePage, trail)) {
                const char16_t unit = table.pairs[static_cast<std::size_t>((b << 8) | trail)];
                emit(unit != 0 ? unit : kReplacement, unit != 0);
                i += 2;
                continue;
            }
        }
        const char16_t unit = table.singles[b - 0x80u];
        emit(unit != 0 ? unit : kReplacement, unit != 0);
        ++i;
    }
}

std::u16string DecodeToUtf16(const DbcsTable& table, std::string_view text) {
    // Every character takes at least one byte, so the text's length bounds the result's.
    std::u16string wide(text.size(), u'\0');
    char16_t* out = wide.data();
    DecodeDbcs(table, text, [&out](char16_t unit, bool) { *out++ = unit; });
    wide.resize(static_cast<std::size_t>(out - wide.data()));
    return wide;
}

void AppendEncoded(const DbcsTable& table, char16_t unit, std::string& out) {
    if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
        return;
    }
    const std::uint16_t code = table.encode[unit];
    if (code == 0) {
        out.push_back('?');
    } else if (code < 0x100) {
        out.push_back(static_cast<char>(code));
    } else {
        out.push_back(static_cast<char>(code >> 8));
        out.push_back(static_cast<char>(code & 0xFF));
    }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

std::string EncodeFromUtf16(const DbcsTable& table, std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size() * 2);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            out.push_back('?');  // a character outside the basic plane: one "?" for the pair
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            out.push_back('?');
        } else {
            AppendEncoded(table, unit, out);
        }
    }
    return out;
}

std::string Transcode(const DbcsTable& from, const DbcsTable& to, std::string_view text) {
    std::string out;
    out.reserve(text.size());
    DecodeDbcs(from, text, [&](char16_t unit, bool) { AppendEncoded(to, unit, out); });
    return out;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(char32_t c, std::u16string& out) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// Calls emit(code point) for every character of UTF-8 text; broken bytes give U+FFFD each.
template <class Emit>
void DecodeUtf8(std::string_view text, Emit emit) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            emit(static_cast<char32_t>(b));
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            c = b & 0x1Fu;
            minimum = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            c = b & 0x0Fu;
            minimum = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            c = b & 0x07u;
            minimum = 0x10000;
        }
        bool ok = length > 0 && i + static_cast<std::size_t>(length) <= n;
        for (int k = 1; ok && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                ok = false;
            } else {
                c = (c << 6) | (next & 0x3Fu);
            }
        }
        if (ok && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            ok = false;
        }
        if (ok) {
            emit(c);
            i += static_cast<std::size_t>(length);
        } else {
            emit(static_cast<char32_t>(kReplacement));
            ++i;
        }
    }
}

// A table mapping GBK double-byte characters to their simplified or traditional counterparts:
// (lead << 8) | trail -> the counterpart's code, 0 where the character stays.
struct ChineseTable {
    bool available = false;
    std::vector<std::uint16_t> map;
};

ChineseTable BuildChineseTable(bool toTraditional) {
    ChineseTable table;
    const auto mapper = detail::OpenChineseMapper(toTraditional);
    if (!mapper) {
        return table;
    }
    table.available = true;
    table.map.assign(65536, 0);
    const DbcsTable& gbk = Gbk();
    unsigned char out[2];
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const auto code = static_cast<std::size_t>((lead << 8) | trail);
            if (gbk.pairs[code] == 0) {
                continue;  // only characters that GBK defines take part
            }
            if (!mapper->Map(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail),
                             out)) {
                continue;
            }
            const auto mapped = static_cast<std::size_t>((out[0] << 8) | out[1]);
            if (mapped != code && IsLeadByte(out[0]) &&
                IsTrailByte(detail::CodePage::Gbk, out[1]) && gbk.pairs[mapped] != 0) {
                table.map[code] = static_cast<std::uint16_t>(mapped);
            }
        }
    }
    return table;
}

bool MapChinese(const ChineseTable& table, std::string& text) {
    if (!table.available) {
        return false;
    }
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        const unsigned char trail = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : '\0';
        // The same character walk as decoding, so a broken byte never shifts the pairs.
        if (IsLeadByte(b) && IsTrailByte(detail::CodePage::Gbk, trail)) {
            const std::uint16_t mapped = table.map[static_cast<std::size_t>((b << 8) | trail)];
            if (mapped != 0) {
                text[i] = static_cast<char>(mapped >> 8);
                text[i + 1] = static_cast<char>(mapped & 0xFF);
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return true;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) { return DecodeToUtf16(Gbk(), gbk); }

std::string Utf16ToGbk(std::u16string_view wide) { return EncodeFromUtf16(Gbk(), wide); }

std::u16string Big5ToUtf16(std::string_view big5) { return DecodeToUtf16(Big5(), big5); }

std::string Utf16ToBig5(std::u16string_view wide) { return EncodeFromUtf16(Big5(), wide); }

std::string GbkToBig5(std::string_view gbk) { return Transcode(Gbk(), Big5(), gbk); }

std::string Big5ToGbk(std::string_view big5) { return Transcode(Big5(), Gbk(), big5); }

std::string Utf16ToUtf8(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
            const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                               (static_cast<char32_t>(wide[i + 1]) - 0xDC00);
            AppendUtf8(c, out);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(kReplacement, out);
        } else {
            AppendUtf8(unit, out);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    DecodeUtf8(utf8, [&out](char32_t c) { AppendUtf16(c, out); });
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    DecodeDbcs(Gbk(), gbk, [&out](char16_t unit, bool) { AppendUtf8(unit, out); });
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const DbcsTable& gbk = Gbk();
    DecodeUtf8(utf8, [&](char32_t c) {
        if (c >= 0x10000) {
            out.push_back('?');
        } else {
            AppendEncoded(gbk, static_cast<char16_t>(c), out);
        }
    });
    return out;
}

bool IsValidGbk(std::string_view gbk) {
    bool valid = true;
    DecodeDbcs(Gbk(), gbk, [&valid](char16_t, bool ok) { valid = valid && ok; });
    return valid;
}

bool GbkToTraditional(std::string& gbk) {
    static const ChineseTable table = BuildChineseTable(true);
    return MapChinese(table, gbk);
}

bool GbkToSimplified(std::string& gbk) {
    static const ChineseTable table = BuildChineseTable(false);
    return MapChinese(table, gbk);
}

}  // namespace quillax::platform
