// The sources are compiled with -fexec-charset=GBK, so the Chinese literals below are their
// GBK bytes at run time. Characters chosen for their trail bytes:
//   丂 = 81 40 ("@")   丄 = 81 41 ("A")   乑 = 81 5A ("Z")   乤 = 81 61 ("a")
//   亅 = 81 7C ("|")   中 = D6 D0   文 = CE C4   形 = D0 CE (the middle two bytes of 中文)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {
namespace {

TEST(GbStringTest, LiteralsAreGbkBytes) {
    EXPECT_EQ(GbString("丂").view(), "\x81\x40");
    EXPECT_EQ(GbString("中文").view(), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(GbString("形").view(), "\xD0\xCE");
}

TEST(GbStringTest, OneBytePatternNeverMatchesTrailByte) {
    const GbString text("丂x@亅|");  // 81 40 78 40 81 7C 7C
    EXPECT_EQ(text.Find("@"), 3);
    EXPECT_EQ(text.Find("|"), 6);
    EXPECT_EQ(GbString("丂丄").Find("@"), -1);
    EXPECT_EQ(GbString("丄").Find("A"), -1);
    EXPECT_EQ(GbString("丄A").Find("A"), 2);
    EXPECT_EQ(text.Find("@", 4), -1);
    // A start inside a character is taken as a character start.
    EXPECT_EQ(text.Find("@", 1), 1);
    // Out of range start; empty pattern.
    EXPECT_EQ(text.Find("@", -1), -1);
    EXPECT_EQ(text.Find("@", text.Length()), -1);
    EXPECT_EQ(text.Find("", 3), 0);
    EXPECT_EQ(GbString().Find(""), -1);
}

TEST(GbStringTest, GbkCharacterPatternMatchesAtCharacterPositionsOnly) {
    EXPECT_EQ(GbString("中文").Find("形"), -1);
    EXPECT_EQ(GbString("a形").Find("形"), 1);
    EXPECT_EQ(GbString("丂中文形").Find("形"), 6);
    EXPECT_EQ(GbString("中文形").Find("文", 2), 2);
    // A lead byte cut off at the end does not match.
    EXPECT_EQ(GbString("a\xD0").Find("形"), -1);
    // Longer patterns and patterns starting with ASCII are byte-wise and may straddle.
    EXPECT_EQ(GbString("中文").Find("\xD0\xCE\xC4"), 1);
    EXPECT_EQ(GbString("丂A").Find("@A"), 1);
}

TEST(GbStringTest, ReverseFindIsByteWise) {
    const GbString text("ab,cd,ef");
    EXPECT_EQ(text.ReverseFind(","), 5);
    EXPECT_EQ(text.ReverseFind(",", 4), 2);
    EXPECT_EQ(text.ReverseFind(",", 5), 5);
    EXPECT_EQ(text.ReverseFind("ab"), 0);
    EXPECT_EQ(text.ReverseFind("ab", 0), 0);
    EXPECT_EQ(text.ReverseFind("ef", 5), -1);
    EXPECT_EQ(text.ReverseFind("x"), -1);
    EXPECT_EQ(GbString("丂").ReverseFind("@"), 1);
}

TEST(GbStringTest, CountOccurrencesLimits) {
    std::vector<int> positions;
    EXPECT_EQ(GbString("aaaaa").CountOccurrences("aa", 0, 100, &positions), 2);
    EXPECT_EQ(positions, (std::vector<int>{0, 2}));
    EXPECT_EQ(GbString("a,丂,@").CountOccurrences("@", 0, 100, &positions), 1);
    EXPECT_EQ(positions, (std::vector<int>{5}));
    EXPECT_EQ(GbString("a,b,c,d").CountOccurrences(",", 2, 100), 2);
    EXPECT_EQ(GbString("a,b,c,d").CountOccurrences(",", 0, 2), 2);
    EXPECT_EQ(GbString("a,b").CountOccurrences("", 0, 100), 0);

    const GbString commas(std::string(10000, ','));
    EXPECT_EQ(commas.CountOccurrences(",", 0, 20000, &positions), GbString::kOccurrenceLimit);
    ASSERT_EQ(positions.size(), 8192u);
    EXPECT_EQ(positions.back(), 8191);
}

TEST(GbStringTest, ReplaceLimitsAndSizes) {
    GbString s("a,b,c,d");
    EXPECT_EQ(s.Replace(",", ".", 0, 2), 2);
    EXPECT_EQ(s, "a.b.c,d");
    EXPECT_EQ(s.Replace(",", ".", 0, 0), 0);
    EXPECT_EQ(s, "a.b.c,d");

    s = "a,b,c";
    EXPECT_EQ(s.Replace(",", "<br>"), 2);  // growing
    EXPECT_EQ(s, "a<br>b<br>c");
    EXPECT_EQ(s.Replace("<br>", "_"), 2);  // shrinking
    EXPECT_EQ(s, "a_b_c");
    EXPECT_EQ(s.Replace("_", ""), 2);  // deleting
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.Replace("", "x"), 0);
    EXPECT_EQ(s, "abc");

    s = "a,b,c,d";
    EXPECT_EQ(s.Replace(",", ";", 3), 2);  // only at or after the start
    EXPECT_EQ(s, "a,b;c;d");
    EXPECT_EQ(s.Replace(",", ";", -1), 0);
    EXPECT_EQ(s.Replace(",", ";", s.Length() + 1), 0);
    EXPECT_EQ(s.Replace(",", ";", s.Length()), 0);
    EXPECT_EQ(s, "a,b;c;d");

    // Non-overlapping, left to right; trail bytes are spared.
    s = "aaa";
    EXPECT_EQ(s.Replace("aa", "b"), 1);
    EXPECT_EQ(s, "ba");
    s = "丂@";
    EXPECT_EQ(s.Replace("@", "#"), 1);
    EXPECT_EQ(s, "丂#");

    // The replacement may be a view into the string itself.
    s = "x,y";
    s.Replace(",", s.Slice(0, 1));
    EXPECT_EQ(s, "xxy");

    // Without a maximum at most 2,049 replacements; a maximum above 8,192 is capped.
    s = std::string(3000, ',');
    EXPECT_EQ(s.Replace(",", "ab"), 2049);
    std::string expected;
    for (int i = 0; i < 2049; ++i) expected += "ab";
    expected += std::string(3000 - 2049, ',');
    EXPECT_EQ(s, expected);
    s = std::string(9000, ',');
    EXPECT_EQ(s.Replace(",", "", 0, 100000), 8192);
    EXPECT_EQ(s.Length(), 9000 - 8192);
}

TEST(GbStringTest, EditingAndCopyingParts) {
    GbString s("abcdef");
    s.Insert(0, "<");
    s.Insert(s.Length(), ">");
    s.Insert(-1, "x");
    s.Insert(s.Length() + 1, "x");
    EXPECT_EQ(s, "<abcdef>");
    s.Delete(1, 2);
    EXPECT_EQ(s, "<cdef>");
    s.Delete(4, 100);
    EXPECT_EQ(s, "<cde");
    s.Delete(2, -1);
    EXPECT_EQ(s, "<c");
    s.Delete(2, 1);
    s.Delete(-1, 1);
    s.Delete(0, 0);
    EXPECT_EQ(s, "<c");

    const GbString src("0123456789");
    GbString t;
    t.Left(src, 3);
    EXPECT_EQ(t, "012");
    t.Right(src, 2, true);
    EXPECT_EQ(t, "01289");
    t.Mid(src, 4, 3);
    EXPECT_EQ(t, "456");
    t.Mid(src, 8, -1, true);
    EXPECT_EQ(t, "45689");
    t.Mid(src, 10, 2);
    EXPECT_EQ(t, "");
    t.Left(src, 50);
    EXPECT_EQ(t, src);
    t.Right(src, 50);
    EXPECT_EQ(t, src);
    // Parts of the string itself.
    t.Mid(t, 2, 3);
    EXPECT_EQ(t, "234");
    t.Append(t);
    EXPECT_EQ(t, "234234");
    EXPECT_EQ(t.Slice(4), "34");
    EXPECT_EQ(t.Slice(6), "");
    EXPECT_EQ(t.Slice(-1, 2), "");
}

TEST(GbStringTest, NumbersAndPadding) {
    GbString s;
    s.SetNumber(-42);
    EXPECT_EQ(s, "-42");
    s.SetNumber(7, true);
    EXPECT_EQ(s, "-427");
    s.SetPadded(7, "000");
    EXPECT_EQ(s, "007");
    s.SetPadded(1234, "000");
    EXPECT_EQ(s, "234");
    s.SetPadded(5, "00000", true);
    EXPECT_EQ(s, "23400005");
    s.SetPadded(12, "");
    EXPECT_EQ(s, "");
}

TEST(GbStringTest, CharactersAndCase) {
    EXPECT_EQ(GbString("中a文").CharCount(), 3);
    EXPECT_EQ(GbString("\x81" "ab").CharCount(), 2);
    // 0x80 and 0xFF are no lead bytes: each is a character of its own.
    EXPECT_EQ(GbString("\x80" "ab").CharCount(), 3);
    EXPECT_EQ(GbString("\xFF" "ab").CharCount(), 3);
    EXPECT_EQ(GbString("\xFE" "ab").CharCount(), 2);
    for (const char* single : {"\x80", "\xFF"}) {
        const std::string text = std::string(single) + "Aa";
        // The byte after it is a character: found, and folded.
        EXPECT_EQ(GbString(text).Find("A"), 1);
        EXPECT_EQ(GbString(text).Find("a"), 2);
        GbString folded(text);
        folded.MakeLower();
        EXPECT_EQ(folded, std::string(single) + "aa");
        folded.MakeUpper();
        EXPECT_EQ(folded, std::string(single) + "AA");
        // Two bytes that start with it are no character: they match at any byte.
        EXPECT_EQ(GbString("\x81" + std::string(single) + "A").Find(std::string(single) + "A"), 1);
    }
    // After a lead byte the next byte is part of the character, not found, not folded.
    EXPECT_EQ(GbString("\xFE" "Aa").Find("A"), -1);
    GbString kept("\xFE" "Aa");
    kept.MakeLower();
    EXPECT_EQ(kept, "\xFE" "Aa");
    EXPECT_EQ(GbString("a\xD6").CharCount(), 2);
    EXPECT_EQ(GbString().CharCount(), 0);

    GbString s("丄ABC乑Z");
    s.MakeLower();
    EXPECT_EQ(s, "丄abc乑z");
    s = "乤abc乤";
    s.MakeUpper();
    EXPECT_EQ(s, "乤ABC乤");

    s = "a b \t\r\n \r\n";
    s.TrimRight();
    EXPECT_EQ(s, "a b");
    s = " \t";
    s.TrimRight();
    EXPECT_EQ(s, "");
}

TEST(GbStringTest, ComparisonsUseTerminatedUnsignedBytes) {
    const GbString s(std::string("ab\0cd", 5));
    EXPECT_TRUE(s.Equals("ab"));
    EXPECT_FALSE(s == "ab");  // the operators see all bytes
    EXPECT_FALSE(s.Equals(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(GbString().Equals(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(GbString().Equals(""));
    EXPECT_TRUE(GbString("a").Less("b"));
    EXPECT_TRUE(GbString("a").Less("ab"));
    EXPECT_FALSE(GbString("a").Less("a"));
    EXPECT_TRUE(GbString("中").Greater("z"));  // 0xD6 compares above 0x7A
    EXPECT_FALSE(GbString("z").Greater("中"));
}

TEST(GbStringTest, BufferAccess) {
    GbString s("中a");
    EXPECT_EQ(s.GetAt(0), 0xD6);
    EXPECT_EQ(s.GetAt(2), 'a');
    EXPECT_EQ(s.GetAt(3), 0);
    EXPECT_EQ(s.GetAt(-1), 0);
    s.SetLength(6);
    EXPECT_EQ(s.Length(), 6);
    s.data()[3] = 'x';
    s.data()[4] = '\0';
    s.ReleaseBuffer();
    EXPECT_EQ(s, "中ax");
    s.SetLength(-3);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(*s.c_str(), '\0');
}

// GBK's own rule for the character walks and the path helpers: 0x81-0xFE lead a two-byte
// character, 0x80 and 0xFF stand alone, and a "\" that is a trail byte is no separator.
TEST(GbkPathTest, PathsSplitAtTheLastSeparatorThatIsNoTrailByte) {
    EXPECT_FALSE(IsGbkLeadByte(0x80));
    EXPECT_TRUE(IsGbkLeadByte(0x81));
    EXPECT_TRUE(IsGbkLeadByte(0xFE));
    EXPECT_FALSE(IsGbkLeadByte(0xFF));
    EXPECT_EQ(GbkCharSize("中a", 0), 2u);
    EXPECT_EQ(GbkCharSize("中a", 2), 1u);
    EXPECT_EQ(GbkCharSize("a\xD6", 1), 1u);  // a lead byte at the end stands alone

    EXPECT_EQ(DirectoryPart("C:\\书\\a.txt"), "C:\\书");
    EXPECT_EQ(DirectoryWithSeparator("C:\\书\\a.txt"), "C:\\书\\");
    EXPECT_EQ(NamePart("C:\\书\\a.txt"), "a.txt");
    EXPECT_EQ(NamePart("d/e.lnk"), "e.lnk");
    EXPECT_EQ(DirectoryPart("bare"), "");
    EXPECT_EQ(DirectoryWithSeparator("bare"), "");
    EXPECT_EQ(NamePart("bare"), "bare");
    EXPECT_EQ(LastPathSeparator("\\"), 0);

    // 禱 is 0xB6 0x5C: its trail byte is no separator, in the middle or at the end.
    EXPECT_EQ(LastPathSeparator("C:\\禱"), 2);
    EXPECT_EQ(NamePart("C:\\禱\\x"), "x");
    EXPECT_EQ(DirectoryPart("C:\\禱\\x"), "C:\\禱");
    EXPECT_FALSE(EndsWithPathSeparator("C:\\禱"));
    EXPECT_TRUE(EndsWithPathSeparator("C:\\禱\\"));
    EXPECT_TRUE(EndsWithPathSeparator("C:/"));
    EXPECT_FALSE(EndsWithPathSeparator(""));

    // 0x80 and 0xFF before a backslash: the path splits at that backslash.
    for (const std::string single : {"\x80", "\xFF"}) {
        const std::string path = "C:\\a" + single + "\\b.txt";
        EXPECT_EQ(LastPathSeparator(path), 5) << int(static_cast<unsigned char>(single[0]));
        EXPECT_EQ(NamePart(path), "b.txt");
        EXPECT_EQ(DirectoryPart(path), "C:\\a" + single);
        EXPECT_TRUE(EndsWithPathSeparator("a" + single + "\\"));
    }
}

}  // namespace
}  // namespace quillax
