#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/environment.h"

// Narrow literals in this file are GBK bytes at run time (the build compiles with
// -fexec-charset=GBK); u"" literals are UTF-16 whatever the narrow charset.

namespace quillax::platform {
namespace {

TEST(CodePage, GbkAndUtf16RoundTripOfRealText) {
    const std::string gbk = "起初，神创造天地。In the beginning (创1:1)";
    const std::u16string wide = u"起初，神创造天地。In the beginning (创1:1)";
    EXPECT_EQ(GbkToUtf16(gbk), wide);
    EXPECT_EQ(Utf16ToGbk(wide), gbk);
    EXPECT_TRUE(IsValidGbk(gbk));

    // Characters whose trail byte is 0x5C ("\") or another ASCII value ("T" in 門): the trail
    // byte belongs to its character and is never taken for a separator or a letter.
    const std::string trail = "禱誠謀門\\";
    ASSERT_EQ(trail.size(), 9u);
    EXPECT_EQ(static_cast<unsigned char>(trail[1]), 0x5C);
    EXPECT_EQ(static_cast<unsigned char>(trail[7]), 'T');
    EXPECT_EQ(GbkToUtf16(trail), u"禱誠謀門\\");
    EXPECT_EQ(Utf16ToGbk(u"禱誠謀門\\"), trail);

    EXPECT_EQ(GbkToUtf16(""), u"");
    EXPECT_EQ(Utf16ToGbk(u""), "");
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(GbkToUtf16(withZero), std::u16string(u"a\0b", 3));
}

TEST(CodePage, UndecodableBytesBecomeReplacementCharacters) {
    // 0x80 is the euro sign of code page 936; 0xFF is no character.
    EXPECT_EQ(GbkToUtf16("\x80"), u"\u20AC");
    EXPECT_EQ(GbkToUtf16("a\xFF" "b"), u"a\uFFFDb");
    // A lead byte before a byte outside the trail range: only the lead byte is lost.
    EXPECT_EQ(GbkToUtf16("\x81 x"), u"\uFFFD x");
    EXPECT_EQ(GbkToUtf16("\xB9\x0D\x0A"), u"\uFFFD\r\n");
    // A lead byte at the very end.
    EXPECT_EQ(GbkToUtf16("abc\xD6"), u"abc\uFFFD");
    // Code page 936 gives every well-formed pair a character: the user-defined areas and the
    // pairs that GBK leaves free are in the private use area (as Windows maps them), and they
    // come back to the same bytes.
    EXPECT_EQ(GbkToUtf16("\xAA\xA1"), u"\uE000");
    EXPECT_EQ(GbkToUtf16("\xA2\xAB" "\xD7\xFA" "z"), u"\uE766\uE810z");
    EXPECT_EQ(Utf16ToGbk(u"\uE000\uE766\uE810"), "\xAA\xA1\xA2\xAB\xD7\xFA");
    EXPECT_TRUE(IsValidGbk("\xD7\xFA"));
    EXPECT_FALSE(IsValidGbk("ok\xFF"));
    EXPECT_FALSE(IsValidGbk("\x81\x7F"));

    // Characters that GBK lacks, surrogate pairs and lone surrogates become "?".
    EXPECT_EQ(Utf16ToGbk(u"a\u0E01b"), "a?b");
    EXPECT_EQ(Utf16ToGbk(u"\U0001F600!"), "?!");
    EXPECT_EQ(Utf16ToGbk(std::u16string(1, char16_t(0xD800)) + u"x"), "?x");
    EXPECT_EQ(Utf16ToGbk(std::u16string(1, char16_t(0xDC00))), "?");

    // Every two-byte combination decodes without crashing and keeps ASCII bytes after a
    // broken lead byte.
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = 0; trail <= 0xFF; ++trail) {
            const std::string bytes = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::u16string wide = GbkToUtf16(bytes);
            ASSERT_GE(wide.size(), 1u);
            ASSERT_LE(wide.size(), 2u);
            if (wide.size() == 2 && trail < 0x80) {
                ASSERT_EQ(wide[1], static_cast<char16_t>(trail));
            }
        }
    }
}

TEST(CodePage, Big5Conversions) {
    // 書國門 in Big5.
    const std::string big5 = "\xAE\xD1\xB0\xEA\xAA\xF9";
    EXPECT_EQ(Big5ToUtf16(big5), u"書國門");
    EXPECT_EQ(Utf16ToBig5(u"書國門"), big5);
    EXPECT_EQ(GbkToBig5("書國門 ok"), big5 + " ok");
    EXPECT_EQ(Big5ToGbk(big5 + "\\"), "書國門\\");
    // Simplified characters have no Big5 form; no mapping happens in these conversions.
    EXPECT_EQ(GbkToBig5("书a"), "?a");
    // A well-formed pair that Big5 does not define is one character.
    EXPECT_EQ(Big5ToUtf16("\xA3\xC0" "a"), u"\uFFFDa");
    // Big5's user-defined areas are in the private use area.
    EXPECT_EQ(Big5ToUtf16("\xFA\x40\x81\x40"), u"\uE000\uEEB8");
    // Broken Big5: 0xFF and a lead byte before a byte outside Big5's trail range (0x90).
    EXPECT_EQ(Big5ToUtf16("\xFF\xAE\x90!"), u"\uFFFD\uFFFD\uFFFD!");
}

TEST(CodePage, Utf8Conversions) {
    const std::u16string wide = u"神爱世人 é \U0001F600";
    const std::string utf8 =
        "\xE7\xA5\x9E\xE7\x88\xB1\xE4\xB8\x96\xE4\xBA\xBA \xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(Utf16ToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), wide);
    EXPECT_EQ(Utf8ToGbk("\xE7\xA5\x9E\xE7\x88\xB1 \xF0\x9F\x98\x80"), "神爱 ?");
    EXPECT_EQ(GbkToUtf8("神爱"), "\xE7\xA5\x9E\xE7\x88\xB1");

    // Broken UTF-8: a stray continuation byte, a truncated sequence, an overlong form and an
    // encoded surrogate give one U+FFFD per offending byte.
    EXPECT_EQ(Utf8ToUtf16("a\x80" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xE7\xA5"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xF5\x80\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    // A lone surrogate in UTF-16 becomes U+FFFD.
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDBFF)) + u"a"), "\xEF\xBF\xBD" "a");
}

TEST(CodePage, SimplifiedAndTraditionalCharacters) {
    if (const auto wine = WineVersion()) {
        GTEST_SKIP() << "Wine " << *wine
                     << " does not map simplified/traditional Chinese in LCMapString";
    }
    std::string text = "书国门，祷告aZ\\的";
    const std::size_t length = text.size();
    ASSERT_TRUE(GbkToTraditional(text));
    EXPECT_EQ(text, "書國門，禱告aZ\\的");
    EXPECT_EQ(text.size(), length);
    ASSERT_TRUE(GbkToSimplified(text));
    EXPECT_EQ(text, "书国门，祷告aZ\\的");

    // Broken bytes stay where they are and do not shift the characters after them.
    std::string broken = "\xFF书\x81 国";
    ASSERT_TRUE(GbkToTraditional(broken));
    EXPECT_EQ(broken, "\xFF書\x81 國");

    std::string empty;
    EXPECT_TRUE(GbkToTraditional(empty));
    EXPECT_EQ(empty, "");
}

}  // namespace
}  // namespace quillax::platform
