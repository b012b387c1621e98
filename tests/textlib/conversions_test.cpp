// GBK <-> UTF-16 and simplified <-> traditional conversions with the correction lists.
// Chinese narrow literals are GBK bytes at run time, u"" literals UTF-16.
#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"
#include "textlib/conversions.h"

namespace quillax {
namespace {

// The system's character mapping is missing under Wine (its LCMapString does not map Chinese);
// the tests that need it are skipped there.
bool ChineseMappingWorks() {
    std::string text = GbString("头").str();
    return platform::GbkToTraditional(text) && text == GbString("頭").str();
}

TEST(Conversions, GbkAndWideRoundTrip) {
    const ConversionOptions plain;
    GbString text("中文 abc 亅|\xA1\xA1");  // 亅 has the trail byte "|"; A1A1 is the ideographic space
    const GbString original = text;
    const std::u16string wide = ToWide(text, plain);
    EXPECT_EQ(wide, u"中文 abc 亅|\u3000");
    EXPECT_EQ(text, original);  // without USEGBK the text is not touched
    EXPECT_EQ(FromWide(wide, plain), original);

    GbString empty;
    EXPECT_TRUE(ToWide(empty, plain).empty());
    EXPECT_TRUE(FromWide(u"", plain).IsEmpty());
    // A character that GBK lacks comes back as "?".
    EXPECT_EQ(FromWide(u"a\u20A9b", plain), "a?b");
}

TEST(Conversions, CorrectionListsApplyInTheirOrder) {
    // ASCII words: the character mapping leaves them alone, so only the lists act.
    // ToTraditional goes forward: "a" -> "x" first, so "ab" is never seen.
    const GbList forwardFrom("a,ab", ",");
    const GbList forwardTo("x,y", ",");
    const ConversionOptions forward{true, &forwardFrom, &forwardTo};
    GbString text("ab");
    ToTraditional(text, forward);
    EXPECT_EQ(text, "xb");

    // ToSimplified goes backward: item 1 ("a" -> "y") before item 0 ("ab" -> "x").
    const GbList backSimplified("x,y", ",");
    const GbList backTraditional("ab,a", ",");
    const ConversionOptions backward{true, &backSimplified, &backTraditional};
    text = GbString("ab ab");
    ToSimplified(text, backward);
    EXPECT_EQ(text, "yb yb");

    // Lists of different lengths pair up as far as both go; an empty item finds nothing but
    // as a replacement deletes; missing lists mean no corrections.
    const GbList longer("a,b,,c", ",");
    const GbList shorter("1,2,3", ",");
    const ConversionOptions uneven{true, &longer, &shorter};
    text = GbString("abc");
    ToTraditional(text, uneven);
    EXPECT_EQ(text, "12c");
    text = GbString("123");
    ToSimplified(text, uneven);
    EXPECT_EQ(text, "ab");
    const ConversionOptions none{true, nullptr, &shorter};
    text = GbString("abc");
    ToTraditional(text, none);
    EXPECT_EQ(text, "abc");
}

TEST(Conversions, SimplifiedTraditionalRoundTripThroughWide) {
    if (!ChineseMappingWorks()) {
        GTEST_SKIP() << "no simplified/traditional mapping on this system";
    }
    const GbList noWords;
    const ConversionOptions mapOnly{true, &noWords, &noWords};
    GbString text("这是中国的书, ok");
    EXPECT_EQ(ToWide(text, mapOnly), u"這是中國的書, ok");
    EXPECT_EQ(text, "這是中國的書, ok");  // converted in place
    EXPECT_EQ(FromWide(u"這是中國的書, ok", mapOnly), "这是中国的书, ok");

    // One character at a time, 发 becomes 發; the list corrects the word 头发 to 頭髮.
    text = GbString("我的头发");
    ToWide(text, mapOnly);
    EXPECT_EQ(text, "我的頭發");

    const GbList simplified("头发,乾隆", ",");
    const GbList traditional("頭髮,干隆", ",");
    const ConversionOptions corrected{true, &simplified, &traditional};
    text = GbString("我的头发");
    const std::u16string wide = ToWide(text, corrected);
    EXPECT_EQ(wide, u"我的頭髮");
    EXPECT_EQ(FromWide(wide, corrected), "我的头发");
    // Back to simplified, 乾 maps to 干; the list restores the name 乾隆 afterwards.
    EXPECT_EQ(FromWide(u"乾隆皇帝", mapOnly), "干隆皇帝");
    EXPECT_EQ(FromWide(u"乾隆皇帝", corrected), "乾隆皇帝");

    // Without USEGBK neither direction maps.
    const ConversionOptions off{false, &simplified, &traditional};
    text = GbString("我的头发");
    EXPECT_EQ(ToWide(text, off), u"我的头发");
    EXPECT_EQ(FromWide(u"我的頭髮", off), "我的頭髮");
}

}  // namespace
}  // namespace quillax
