// The USFM reader on small books written for each marker and fault: what a verse keeps, what
// it drops, and where a book that is not one (or is cut short) is refused. The books are UTF-8
// (u8 literals); the module text they give is GBK, as every plain literal of this build is.
#include <gtest/gtest.h>

#include <string>

#include "setup/bible_format_test_support.h"
#include "setup/bible_formats/usfm_reader.h"

namespace quillax {
namespace {

using Read = testsupport::FormatRead;

Read ReadBooks(const std::string& usfm) { return testsupport::ReadFormat(ReadUsfmBooks, usfm); }

std::string ErrorOf(const std::string& usfm) { return testsupport::FormatErrorOf(ReadUsfmBooks, usfm); }

TEST(UsfmReader, KeepsTheWordsOfVersesAndDropsEverythingElse) {
    const Read read = ReadBooks(
        "\\id GEN World English Bible\n"
        "\\h Genesis\n\\toc1 The First Book of Moses\n\\mt1 Genesis\n"
        "\\ip An introduction that is not verse text.\n"
        "\\c 1\n"
        "\\s1 The Creation\n"
        "\\p\n"
        "\\v 1 In the beginning, God\\f + \\fr 1:1 \\ft The Hebrew word rendered \\fq God\\f* created "
        "the heavens\\x - \\xo 1:1 \\xt John 1:1\\x* and the earth.\n"
        "\\v 2 The \\w earth|strong=\"H0776\"\\w* was \\add formless\\add* and \\+w empty|H8414\\+w*.\n"
        "\\q1\n"
        u8"\\v 3-4 God said, \\wj “Let there be\\wj*\n"
        u8"\\q2 light,” and \\nd Yahweh\\nd* saw it. \\qs Selah.\\qs*\n"
        "\\c 2\n"
        "\\cl Chapter Two\n"
        "\\d A Psalm of David.\n"
        "\\v 1 \\va 2\\va*\\vp 1a\\vp*Thus the heavens\\fig A picture|src=\"a.jpg\"\\fig* were finished.\n");
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module,
              "01001:=/"
              "$1In the beginning, God created the heavens and the earth.|"
              "$2The earth was formless and empty.|"
              "$3-4God said, “Let there be light,” and Yahweh saw it. Selah.|"
              "01002:=/"
              "$1Thus the heavens were finished.|");
    EXPECT_EQ(read.verses.BookCount(), 1);
    EXPECT_EQ(read.verses.ChapterCount(), 2);
    EXPECT_EQ(read.verses.VerseCount(), 4);
}

TEST(UsfmReader, NotesAndHeadingsEndWithTheirParagraphAndWordsStayApart) {
    const Read read = ReadBooks(
        "\\id EXO\n\\c 1\n\\p\n"
        // A note between two words keeps them apart; a mark after it stays joined.
        u8"\\v 1 Moses\\f + \\ft a note\\f*spoke to Aaron\\f + \\ft another\\f*’s sons\\f + \\ft x\\f*.\n"
        // A note left open ends at the next verse.
        "\\v 2 These are\\f + \\ft never closed\n"
        "\\v 3 the names.\n"
        // A heading inside a verse is dropped; the verse goes on after it.
        "\\v 4 Before\n\\s1 A heading\n\\p after.\n"
        // A sidebar is dropped whole, its paragraphs too.
        "\\esb\n\\p Study text.\n\\esbe\n"
        "\\v 5 Last\\f* verse.\n"
        // A lone CR is white space: it ends the verse number as a blank does.
        "\\v 6\rA lone CR\rseparates words.\n");
    ASSERT_FALSE(read.error) << read.error->reason;
    EXPECT_EQ(read.module,
              "02001:=/"
              "$1Moses spoke to Aaron’s sons.|"
              "$2These are|"
              "$3the names.|"
              "$4Before after.|"
              "$5Last verse.|"
              "$6A lone CR separates words.|");
}

TEST(UsfmReader, SkipsBooksOutsideTheTableAndReadsSeveralBooksOfAFile) {
    const Read read = ReadBooks(
        "\xEF\xBB\xBF"
        "A licence notice before the book.\r\n"
        "\\id FRT front matter\r\n\\mt1 Preface\r\n\\p Text.\r\n"
        "\\id TOB\r\n\\c 1\r\n\\v 1 Tobit's words.\r\n"
        "\\id rev\r\n\\c 22\r\n\\p\r\n\\v 21 The grace.\r\n"
        "\\id MAT\r\n\\c 1\r\n\\v 1 The book.\r\n");
    ASSERT_FALSE(read.error) << read.error->reason;
    // Books in book order, whatever order the file has.
    EXPECT_EQ(read.module, "40001:=/$1The book.|66022:=/$21The grace.|");
    EXPECT_EQ(read.verses.SkippedBooks(), (std::vector<std::string>{"FRT", "TOB"}));
    EXPECT_EQ(read.verses.BookCount(), 2);
}

TEST(UsfmReader, RefusesWhatIsNotABookOrIsCutShort) {
    EXPECT_EQ(ErrorOf(""), "1: no \\id line: this is not a USFM book");
    EXPECT_EQ(ErrorOf("gen\t1\t1\t1\tIn the beginning\n"), "1: no \\id line: this is not a USFM book");
    EXPECT_EQ(ErrorOf("\\id\n\\c 1\n"), "1: \\id without a book code");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\h Genesis\n\\mt1 Genesis\n"),
              "3: the book GEN (\\id on line 1) ends inside its header, before its first chapter (\\c)");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\h Genesis\n\\id EXO\n\\c 1\n\\v 1 x\n"),
              "2: the book GEN (\\id on line 1) ends inside its header, before its first chapter (\\c)");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\c 1\n\\p\n"), "3: the book GEN (\\id on line 1) ends without a verse (\\v)");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\v 1 In the beginning\n"), "2: a verse (\\v) before the first chapter (\\c) of GEN");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\c one\n"), "2: a chapter (\\c) without its number");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\c 1000\n\\v 1 x\n"), "2: the chapter number 1000 is not between 1 and 999");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\c 1\n\\v\n"), "3: a verse (\\v) without its number");
    EXPECT_EQ(ErrorOf("\\id GEN\n\\c 1\n\\v 1 x\n\\id GEN\n\\c 2\n\\v 1 y\n"),
              "4: the book GEN was read before: a book must come once");
    // A skipped book is not read, so its faults are not reported.
    EXPECT_EQ(ErrorOf("\\id TOB\n\\v 1 x\n\\id GEN\n\\c 1\n\\v 1 y\n"), "no error");
}

}  // namespace
}  // namespace quillax
