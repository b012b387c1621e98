// Main text derivation: the strip list, every cleaning step in its order, GBK trail bytes that
// look like marks, and the derivation of sys\corpa.txt from sys\Tessaly.txt.
#include <gtest/gtest.h>

#include <string>

#include "setup/main_text.h"
#include "setup/module_index.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::TempInstallation;
using testsupport::TextRecord;

// The output line CleanRecord makes of one record.
std::string Cleaned(std::string_view record) {
    GbString text(record);
    GbString output("before|");
    CleanRecord(text, output);
    EXPECT_TRUE(text.IsEmpty()) << "the record is emptied";
    EXPECT_EQ(output.Slice(0, 7), "before|") << "output is appended to";
    return std::string(output.Slice(7));
}

TEST(MainText, StripListHoldsThe27SequencesInOrder) {
    const GbList& list = StripList();
    ASSERT_EQ(list.Count(), 27);
    const char* expected[] = {"<hr>", "<i>", "</i>", " ",  "%",  "^",  "@",  "#",  "'z",
                              "'1",   "'2",  "'3",   "'4", "'5", "'6", "'7", "'8", "'9",
                              "'0",   "'a",  "'b",   "{",  "}",  "[",  "]",  "_"};
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(list[i], expected[i]) << i;
    }
    EXPECT_EQ(list[26], "\xA1\xA1\xA1\xA1");
}

TEST(MainText, CleanRecordAppliesEveryStepInOrder) {
    // Blanks go; the span from "'e" to "'f" becomes "{...}" and is removed.
    EXPECT_EQ(Cleaned("01001:=In the beginning'eGen 1:1'f God created"), "01001=InthebeginningGodcreated\n");
    // "#" is stripped before "$" becomes "#".
    EXPECT_EQ(Cleaned("01001:=#1x$2y"), "01001=1x#2y\n");
    // Note spans "'0 ... '1", also when opened by "'a"; an unclosed one loses only its mark.
    EXPECT_EQ(Cleaned("01001:=a'0note'1b'anote two'1c"), "01001=abc\n");
    EXPECT_EQ(Cleaned("01001:=x'0rest"), "01001=xrest\n");
    EXPECT_EQ(Cleaned("'0ab'1c"), "abc\n") << "a span at the very start is not removed, only its marks";
    // Grave accents with their digits; one at the very start stops the removal.
    EXPECT_EQ(Cleaned("01001:=a`123b`c"), "01001=abc\n");
    EXPECT_EQ(Cleaned("`1a`2b"), "`1a`2b\n");
    // Tags; a "<" at the very start or without ">" stays.
    EXPECT_EQ(Cleaned("01001:=<b>bold</b><font size=-2>small</font>"), "01001=boldsmall\n");
    EXPECT_EQ(Cleaned("<b>x</b>"), "<b>x</b>\n");
    EXPECT_EQ(Cleaned("01001:=a<b"), "01001=a<b\n");
    // Braces from the strip list go as marks, braces from "'e"/"'f" take their text along.
    EXPECT_EQ(Cleaned("01001:={keep}a'edrop'fb'eopen"), "01001=keepab{open\n");
    // The other strip entries, "\" and "|".
    EXPECT_EQ(Cleaned("01001:=<hr>a<i>b</i>c%d^e@f'zg'bh[i]j_k\\l|m"), "01001=abcdefghijklm\n");
    // Two ideographic spaces go, a single one stays.
    EXPECT_EQ(Cleaned("01001:=甲　　乙　丙"), "01001=甲乙　丙\n");
    // An empty record writes nothing.
    GbString empty;
    GbString output;
    CleanRecord(empty, output);
    EXPECT_TRUE(output.IsEmpty());
}

TEST(MainText, RemovalsGoOnWhereTheEditedRecordWould) {
    // After a note span the search for "'0" goes on one byte past the place of the removed
    // span: a "'0" right there is passed over, and the strip list takes only its marks.
    EXPECT_EQ(Cleaned("01001:=a'0x'1'0y'1b"), "01001=ayb\n");
    EXPECT_EQ(Cleaned("01001:=a'0x'0y'1b'1c"), "01001=abc\n");
    // Grave accents and tags one after the other.
    EXPECT_EQ(Cleaned("01001:=`1`2`3x"), "01001=x\n");
    EXPECT_EQ(Cleaned("01001:=<a><a><a>z<"), "01001=z<\n");
    EXPECT_EQ(Cleaned("01001:=a<b<c>d>e"), "01001=ad>e\n");
    // A brace span closes at the first "}" after its "{".
    EXPECT_EQ(Cleaned("01001:=a'ex'e'fy'fz"), "01001=ay}z\n");
    EXPECT_EQ(Cleaned("01001:=乗'0x'1億`9<a>z"), "01001=乗億z\n");

    // A record of megabytes of tags comes out as its text alone.
    std::string tags;
    for (int k = 0; k < 500000; ++k) tags += "<a>";
    EXPECT_EQ(Cleaned("01001:=" + tags + "z" + tags), "01001=z\n");
}

TEST(MainText, TrailBytesThatLookLikeMarksSurvive) {
    // Trail bytes: 億 7C "|", 乗 5C "\", 倉 7D "}", 亄 7B "{", 俙 60 "`", 丂 40 "@", 乛 5E "^",
    // 乢 5F "_", 乕 5B "[", 乚 5D "]".
    const std::string chinese = "億乗倉亄俙丂乛乢乕乚";
    EXPECT_EQ(Cleaned("01001:=" + chinese + "'e" + chinese + "'f!"), "01001=" + chinese + "!\n");
    EXPECT_EQ(Cleaned("01001:=俙12"), "01001=俙12\n");
}

TEST(MainText, DeriveMainTextKeepsFiveByteChapterRecords) {
    TempInstallation install;
    install.Write("sys\\Tessaly.txt",
                  "preface line\r\n"
                  "01001:=In the beginning\r\n"
                  "'eGen 1:1'f God created\r\n"
                  ":=not a header\r\n"
                  "0100000:=Intro of the book\r\n"
                  "dropped with it\r\n"
                  "01002:=Second\n");
    DeriveMainText(install.Config());
    EXPECT_EQ(install.Read("sys\\corpa.txt"), "01001=InthebeginningGodcreated=notaheader\n01002=Second\n");
}

TEST(MainText, PrepareModulesDerivesAMissingMainTextAndIndexesIt) {
    TempInstallation install;
    install.Write("sys\\Tessaly.txt", "01001:=In the beginning\r\n'eGen 1:1'f God created\r\n01002:=Second\r\n");
    PrepareModules(install.Config());
    EXPECT_EQ(install.Read("sys\\corpa.txt"), "01001=InthebeginningGodcreated\n01002=Second\n");
    EXPECT_EQ(install.Read("sys\\corpa.inx"), ChapterRecord(1001, 0) + ChapterRecord(1002, 31) + TextRecord("", 44));

    // Without the chain-reference module the main text is empty and so is its index.
    TempInstallation bare;
    PrepareModules(bare.Config());
    EXPECT_EQ(bare.Read("sys\\corpa.txt"), "");
    EXPECT_EQ(bare.Read("sys\\corpa.inx"), TextRecord("", 0));
}

}  // namespace
}  // namespace quillax
