#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "textlib/text_helpers.h"

namespace quillax {
namespace {

TEST(TextHelpersTest, ToIntReadsDecimalPrefix) {
    EXPECT_EQ(ToInt("123"), 123);
    EXPECT_EQ(ToInt(" \t\r\n-45x"), -45);
    EXPECT_EQ(ToInt("+7"), 7);
    EXPECT_EQ(ToInt("1 2"), 1);
    EXPECT_EQ(ToInt("007"), 7);
    EXPECT_EQ(ToInt("abc"), 0);
    EXPECT_EQ(ToInt(""), 0);
    EXPECT_EQ(ToInt("--5"), 0);
    EXPECT_EQ(ToInt("- 5"), 0);
    EXPECT_EQ(ToInt("中12"), 0);
    EXPECT_EQ(ToInt("2147483647"), INT_MAX);
    EXPECT_EQ(ToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ToInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ToInt("-99999999999999999999"), INT_MIN);
    // Only the bytes of the view are read.
    EXPECT_EQ(ToInt(std::string_view("12345").substr(1, 3)), 234);
}

TEST(TextHelpersTest, ToRealReadsDecimalPrefix) {
    EXPECT_DOUBLE_EQ(ToReal("0.75"), 0.75);
    EXPECT_DOUBLE_EQ(ToReal("  -1.5e3x"), -1500.0);
    EXPECT_DOUBLE_EQ(ToReal("+2.5E-1"), 0.25);
    EXPECT_DOUBLE_EQ(ToReal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ToReal("5."), 5.0);
    EXPECT_DOUBLE_EQ(ToReal("3e"), 3.0);
    EXPECT_DOUBLE_EQ(ToReal("3e+"), 3.0);
    EXPECT_DOUBLE_EQ(ToReal("12"), 12.0);
    EXPECT_EQ(ToReal("e5"), 0.0);
    EXPECT_EQ(ToReal("."), 0.0);
    EXPECT_EQ(ToReal("abc"), 0.0);
    EXPECT_EQ(ToReal(""), 0.0);
    EXPECT_TRUE(std::isinf(ToReal("1e999")));
    EXPECT_EQ(ToReal("1e-999"), 0.0);
}

TEST(TextHelpersTest, ParseColor) {
    EXPECT_EQ(ParseColor("red"), 0xFF0000);
    EXPECT_EQ(ParseColor("green"), 0x00FF00);
    EXPECT_EQ(ParseColor("blue"), 0x0000FF);
    EXPECT_EQ(ParseColor("Red"), 0x0000FF);
    EXPECT_EQ(ParseColor(""), 0x0000FF);
    EXPECT_EQ(ParseColor("#00ff80"), 0x00FF80);
    EXPECT_EQ(ParseColor("#E0e0E0"), 0xE0E0E0);
    EXPECT_EQ(ParseColor("#FFFFFF trailing"), 0xFFFFFF);
    EXPECT_EQ(ParseColor("#12"), 0x120000);          // missing digits count 0
    EXPECT_EQ(ParseColor("#1-2.3/"), 0x102030);      // other characters count 0
    EXPECT_EQ(ParseColor("#00000g"), 16);            // a letter is its code minus 55
}

TEST(TextHelpersTest, StripPath) {
    EXPECT_EQ(StripPath("HTTP://Host/Dir/File.HTM"), "file.htm");
    EXPECT_EQ(StripPath("NoSlash"), "noslash");
    EXPECT_EQ(StripPath("a/b/"), "");
    EXPECT_EQ(StripPath("/Pic/丄B.JPG"), "丄b.jpg");  // 丄 = 81 41: its trail byte stays
    EXPECT_EQ(StripPath("dir\\Name"), "dir\\name");
}

// Lines as the updater adds them to its list: a heading that ends in a line break, a failure
// followed by the system's text of two lines, a file name with a tab and a stray escape byte.
TEST(TextHelpersTest, SingleDisplayLineDrawsNoControlCharacters) {
    EXPECT_EQ(SingleDisplayLine("获取更新列表:\n"), "获取更新列表:");
    EXPECT_EQ(SingleDisplayLine("\r\n获取更新列表:\r\n"), "获取更新列表:");
    EXPECT_EQ(SingleDisplayLine("/files/a.zip下载失败，未安装：The connection was reset.\r\nTry again.\r\n"),
              "/files/a.zip下载失败，未安装：The connection was reset. Try again.");
    EXPECT_EQ(SingleDisplayLine("a\n\n\r\nb\rc"), "a b c");  // a run of breaks is one blank
    EXPECT_EQ(SingleDisplayLine("notes\t.txt\x1b[0m\x7f\x01"), "notes .txt[0m");
    EXPECT_EQ(SingleDisplayLine("\x01\nb"), "b");                 // nothing before the break
    EXPECT_EQ(SingleDisplayLine("a\n\x02" "b"), "a b");          // a dropped byte keeps the break
    EXPECT_EQ(SingleDisplayLine("\r\n\n"), "");
    EXPECT_EQ(SingleDisplayLine(""), "");
    // GBK characters whose second byte is "@" or "~" (81 40, 81 7E) stay whole.
    const std::string gbk = "\x81\x40\x81\x7e\xfe\xfe";
    EXPECT_EQ(SingleDisplayLine(gbk + "\n" + gbk), gbk + " " + gbk);
    EXPECT_EQ(SingleDisplayLine("C:\\prod\\notes.txt更新完毕"), "C:\\prod\\notes.txt更新完毕");
}

TEST(TextHelpers, DecimalTextAndWordSearches) {
    EXPECT_EQ(DecimalText(0), "0");
    EXPECT_EQ(DecimalText(-42), "-42");
    EXPECT_EQ(DecimalText(2147483647LL), "2147483647");
    EXPECT_EQ(DecimalText(5000000000LL), "2147483647");
    EXPECT_EQ(DecimalText(-5000000000LL), "-2147483648");

    const GbString text("本章3:16");
    EXPECT_TRUE(Contains(text, "本章"));
    EXPECT_TRUE(Contains(text, ":"));
    EXPECT_FALSE(Contains(text, ""));
    EXPECT_FALSE(Contains(text, "本篇"));
    // At the start only is not after the start; a second occurrence is.
    EXPECT_FALSE(ContainsAfterStart(text, "本章"));
    EXPECT_TRUE(ContainsAfterStart(GbString("本章本章"), "本章"));
    EXPECT_TRUE(ContainsAfterStart(text, "3"));
    EXPECT_FALSE(ContainsAfterStart(text, ""));
}

}  // namespace
}  // namespace quillax
