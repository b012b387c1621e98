#include <gtest/gtest.h>

#include <random>
#include <string>

#include "textlib/chapter_keys.h"

namespace quillax {
namespace {

// The usual one- and two-character abbreviations of the 66 books.
const char* const kAbbreviations[kBookCount] = {
    "创", "出", "利", "民", "申", "书", "士", "得", "撒上", "撒下", "王上", "王下", "代上",
    "代下", "拉", "尼", "斯", "伯", "诗", "箴", "传", "歌", "赛", "耶", "哀", "结",
    "但", "何", "珥", "摩", "俄", "拿", "弥", "鸿", "哈", "番", "该", "亚", "玛",
    "太", "可", "路", "约", "徒", "罗", "林前", "林后", "加", "弗", "腓", "西", "帖前",
    "帖后", "提前", "提后", "多", "门", "来", "雅", "彼前", "彼后", "约一", "约二", "约三",
    "犹", "启"};

// "CNAME=" as the configuration holds it: 5 bytes per book, one-character names padded "。".
GbString BookNameText() {
    GbString text;
    for (const char* name : kAbbreviations) {
        text += name;
        if (std::string_view(name).size() == 2) text += "。";
        text += ",";
    }
    return text;
}

// Non-overlapping occurrences of a pattern, byte by byte.
int CountBytes(std::string_view text, std::string_view pattern) {
    int count = 0;
    for (auto at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, at + pattern.size())) {
        ++count;
    }
    return count;
}

class ChapterKeysTest : public ::testing::Test {
protected:
    GbString bookNames = BookNameText();
    // [1], [2] mean "this chapter", [3] and [4] are the chapter words.
    GbList vocabulary{"第,本章,此章,篇,章", ","};
    int lastBook = 0;
    GbString linkKey;
    ReferenceContext context{bookNames, vocabulary, lastBook, linkKey};

    GbString Key(std::string_view ref, bool wholeRest = false) {
        return ChapterKeyFromReference(ref, wholeRest, context);
    }
    GbString Brackets(std::string_view text, std::string_view defaultKey = "43003",
                      int* links = nullptr) {
        GbString result(text);
        const int n = LinkBracketReferences(result, defaultKey, context);
        if (links != nullptr) *links = n;
        return result;
    }
};

TEST_F(ChapterKeysTest, BookTable) {
    ASSERT_EQ(bookNames.Length(), 330);
    int total = 0;
    for (int book = 1; book <= kBookCount; ++book) total += ChapterCount(book);
    EXPECT_EQ(total, 1189);
    EXPECT_EQ(ChapterCount(1), 50);
    EXPECT_EQ(ChapterCount(19), 150);
    EXPECT_EQ(ChapterCount(31), 1);
    EXPECT_EQ(ChapterCount(66), 22);
    EXPECT_EQ(ChapterCount(0), 0);
    EXPECT_EQ(ChapterCount(67), 0);
    EXPECT_EQ(ChapterCount(-1), 0);
    EXPECT_EQ(MakeChapterKey(1001), "01001");
    EXPECT_EQ(MakeChapterKey(66022), "66022");
    EXPECT_EQ(MakeChapterKey(2147484647LL), "84647");  // the last five digits
}

TEST_F(ChapterKeysTest, IsChapterKey) {
    EXPECT_EQ(IsChapterKey("19150", false), 19150);
    EXPECT_EQ(IsChapterKey("01001", false), 1001);
    EXPECT_EQ(IsChapterKey("66022", false), 66022);
    EXPECT_EQ(IsChapterKey("31001", false), 31001);
    EXPECT_EQ(IsChapterKey("19150:3", false), 19150);  // more characters after the five
    EXPECT_EQ(IsChapterKey("19151", false), 0);
    EXPECT_EQ(IsChapterKey("31002", false), 0);
    EXPECT_EQ(IsChapterKey("66023", false), 0);
    EXPECT_EQ(IsChapterKey("67001", false), 0);
    EXPECT_EQ(IsChapterKey("00001", false), 0);
    EXPECT_EQ(IsChapterKey("01000", false), 0);
    EXPECT_EQ(IsChapterKey("1001", false), 1001);   // a non-digit (the end) ends the number
    EXPECT_EQ(IsChapterKey("0100x", false), 0);     // 100: book 0
    EXPECT_EQ(IsChapterKey("x1001", false), 0);
    EXPECT_EQ(IsChapterKey("", false), 0);
    EXPECT_EQ(IsChapterKey("99999999", false), 0);

    EXPECT_EQ(IsChapterKey("19150", true), 1);
    EXPECT_EQ(IsChapterKey("19151", true), 0);
    // Special keys: 7 characters, chapter 000, one of five suffixes; only with acceptSpecial.
    for (const char* special : {"0100000", "010000b", "010000c", "010002j", "010001z"}) {
        EXPECT_EQ(IsChapterKey(special, true), 1) << special;
        EXPECT_EQ(IsChapterKey(special, false), 0) << special;
    }
    EXPECT_EQ(IsChapterKey("9900000", true), 1);   // the book plays no part
    EXPECT_EQ(IsChapterKey("010000z", true), 0);   // unknown suffix
    EXPECT_EQ(IsChapterKey("010000", true), 0);    // 6 characters
    EXPECT_EQ(IsChapterKey("01000000", true), 0);  // 8 characters
    EXPECT_EQ(IsChapterKey("0100100", true), 1);   // a valid key whatever follows
    EXPECT_EQ(IsChapterKey("0100200", false), 1002);
}

TEST_F(ChapterKeysTest, ChapterKeyFromReference) {
    EXPECT_EQ(Key("创1:1"), "01001");
    EXPECT_EQ(lastBook, 1);
    EXPECT_EQ(Key("诗150:6"), "19150");
    EXPECT_EQ(lastBook, 19);
    EXPECT_EQ(Key("约3:16"), "43003");     // the first "约" is John's, not 1 John's
    EXPECT_EQ(Key("约一1:9"), "62001");    // two-character name: the third byte is a lead byte
    EXPECT_EQ(Key("林前13章"), "46013");   // chapter word instead of ":"
    EXPECT_EQ(Key("启22:21"), "66022");
    // A one-character book name alone is its first chapter.
    EXPECT_EQ(Key("俄"), "31001");
    EXPECT_EQ(lastBook, 31);
    // A continuation that starts with a digit belongs to the book of the previous one.
    EXPECT_EQ(Key("林后5:17"), "47005");
    EXPECT_EQ(Key("6:2"), "47006");
    EXPECT_EQ(Key("12章"), "47012");
    EXPECT_EQ(lastBook, 47);
    // A name that is not in the table gives book 1.
    EXPECT_EQ(Key("甲乙3:1"), "01003");
    EXPECT_EQ(lastBook, 1);
    EXPECT_EQ(Key("诗23", true), "19023");
    EXPECT_EQ(Key("诗23篇1", false), "19023");
}

TEST_F(ChapterKeysTest, ChapterKeyFromOddReferences) {
    // Without any previous reference the book is 0.
    EXPECT_EQ(Key("3:16"), "00003");
    EXPECT_EQ(Key(""), "00000");
    // 0x80 and 0xFF lead no book name: the reference belongs to the last book (none yet).
    EXPECT_EQ(Key("\x80"), "00000");
    EXPECT_EQ(Key("\xFF"), "00000");
    EXPECT_EQ(Key("\xB4"), "01000");  // a lone lead byte
    // A book name is 4 bytes only when its third byte leads a character too.
    EXPECT_EQ(Key("诗\xFF"), "19000");
    EXPECT_EQ(Key("诗\x80"), "19000");
    EXPECT_EQ(Key("诗\xB4"), "01000");
    // A huge chapter number keeps the last five digits of the key and does not overflow.
    EXPECT_EQ(Key("创99999999999999:1"), MakeChapterKey(1000LL + 2147483647LL));
    EXPECT_EQ(lastBook, 1);
    // Without a vocabulary the chapter word is never found; ":" still ends the chapter.
    GbList none;
    ReferenceContext bare{bookNames, none, lastBook, linkKey};
    EXPECT_EQ(ChapterKeyFromReference("诗23", false, bare), "19023");
    EXPECT_EQ(ChapterKeyFromReference("诗", false, bare), "19001");
    GbString noNames;
    ReferenceContext empty{noNames, none, lastBook, linkKey};
    EXPECT_EQ(ChapterKeyFromReference("诗3:1", false, empty), "01003");
}

TEST_F(ChapterKeysTest, LinkReference) {
    GbString text("见创1:1-3，又");
    const int pos = 2;
    const int end = pos + static_cast<int>(std::string_view("创1:1-3").size());
    const int next = LinkReference(text, pos, end, context);
    EXPECT_EQ(text, "见<a href=01001>创1:1-3</a>，又");
    EXPECT_EQ(next, end + 18);
    EXPECT_EQ(text.Slice(next), "，又");
    EXPECT_EQ(linkKey, "01001");

    // A reference that gives only chapter and verse takes the book of the key.
    text = GbString("林前13:4;14:1");
    int at = LinkReference(text, 0, 8, context);
    EXPECT_EQ(text, "<a href=46013>林前13:4</a>;14:1");
    at = LinkReference(text, at + 1, text.Length(), context);
    EXPECT_EQ(text, "<a href=46013>林前13:4</a>;<a href=46014>14:1</a>");
    EXPECT_EQ(at, text.Length());
    EXPECT_EQ(lastBook, 46);

    // ";" continues the previous reference: the link starts two bytes on, with its book.
    text = GbString("; 5:3");
    at = LinkReference(text, 0, text.Length(), context);
    EXPECT_EQ(text, "; <a href=46005>5:3</a>");
    EXPECT_EQ(at, text.Length());
    text = GbString(";x");
    LinkReference(text, 0, text.Length(), context);
    EXPECT_EQ(text, ";x<a href=46005></a>");  // nothing left to link: the key stays
}

TEST_F(ChapterKeysTest, LinkReferenceOddPositions) {
    // A continuation before any link reads the rest on its own (book lastBook).
    lastBook = 19;
    GbString text("; 23:1");
    LinkReference(text, 0, text.Length(), context);
    EXPECT_EQ(text, "; <a href=19023>23:1</a>");

    // Positions outside the text are clipped to it.
    text = GbString("创1:1");
    EXPECT_EQ(LinkReference(text, 0, 1000, context), 5 + 18);
    EXPECT_EQ(text, "<a href=01001>创1:1</a>");
    text = GbString("abc");
    LinkReference(text, 7, 2, context);
    EXPECT_EQ(text, "ab<a href=01000></a>c");
    text = GbString("");
    LinkReference(text, -5, -1, context);
    EXPECT_EQ(text.Slice(0, 8), "<a href=");
    text = GbString("999999999:1");
    LinkReference(text, 0, text.Length(), context);
    // The book is the first two characters of the key of 1000 + 999999999 ("00999"), the
    // chapter at most three digits.
    EXPECT_EQ(text, "<a href=00999>999999999:1</a>");
}

TEST_F(ChapterKeysTest, BracketReferences) {
    int links = -1;
    // Without ":" or a chapter word a bracket stays as it is.
    EXPECT_EQ(Brackets("注[见下]文", "43003", &links), "注[见下]文");
    EXPECT_EQ(links, 0);
    EXPECT_EQ(Brackets("[创1:1]", "43003", &links), " <a href=01001>创1:1</a>");
    EXPECT_EQ(links, 1);
    // Chapter words: cmpStr[4], and cmpStr[3] when cmpStr[4] is not in the bracket.
    EXPECT_EQ(Brackets("见[林前13章]。"), "见 <a href=46013>林前13章</a>。");
    EXPECT_EQ(Brackets("[诗23篇]"), " <a href=19023>诗23篇</a>");
    // A one-character abbreviation followed by the number is looked up as "X。".
    EXPECT_EQ(Brackets("[诗150:1]"), " <a href=19150>诗150:1</a>");
    EXPECT_EQ(Brackets("[约一1:9]"), " <a href=62001>约一1:9</a>");
    // An abbreviation that is not in the table gives book 1.
    EXPECT_EQ(Brackets("[诗篇150:1]"), " <a href=01150>诗篇150:1</a>");
    // The words of cmpStr[1] and cmpStr[2] link to the page's own key.
    EXPECT_EQ(Brackets("[本章5节:2]", "43003"), " <a href=43003>本章5节:2</a>");
    EXPECT_EQ(Brackets("[此章:2]", "19023"), " <a href=19023>此章:2</a>");
    EXPECT_EQ(Brackets("[本章:2]", ""), "本章:2</a>");  // no key, no opening tag
}

TEST_F(ChapterKeysTest, BracketContinuations) {
    int links = -1;
    // A bracket that starts with a digit takes the book of the previous link of the pass.
    EXPECT_EQ(Brackets("[创1:1]和[3:5]", "43003", &links),
              " <a href=01001>创1:1</a>和 <a href=01003>3:5</a>");
    EXPECT_EQ(links, 2);
    // ... and its chapter from before the next ":", even when that lies after the bracket.
    EXPECT_EQ(Brackets("[罗1:1]，[8章] 8:1"),
              " <a href=45001>罗1:1</a>， <a href=45008>8章</a> 8:1");
    EXPECT_EQ(Brackets("[罗1:1]，[8章] 无"), " <a href=45001>罗1:1</a>，8章</a> 无");
    // The previous key does not survive the call.
    EXPECT_EQ(Brackets("[3:5]", "43003", &links), "3:5</a>");
    EXPECT_EQ(links, 0);
    // The scan resumes 14 bytes after a converted bracket, so a bracket that follows one
    // without a link within those bytes is passed over.
    EXPECT_EQ(Brackets("[3:5][创1:1]", "43003", &links), "3:5</a>[创1:1]");
    EXPECT_EQ(links, 0);
    EXPECT_EQ(Brackets("[3:5] see also [创1:1]"),
              "3:5</a> see also  <a href=01001>创1:1</a>");
}

TEST_F(ChapterKeysTest, BracketScanResumesInTheEditedText) {
    int links = -1;
    // The scan goes on 14 bytes after a converted bracket, wherever that falls in the edited
    // text: past a short tag into the linked reference, on the trail byte of a character.
    EXPECT_EQ(Brackets("[本章:2][创1:1]", "abc", &links), " <a href=abc>本章:2</a> <a href=01001>创1:1</a>");
    EXPECT_EQ(links, 2);
    EXPECT_EQ(Brackets("[本章:2]乗[创1:1]", "ab"), " <a href=ab>本章:2</a>乗 <a href=01001>创1:1</a>");
    // A "[" inside a linked bracket is met again by the scan and closes at a later "]".
    EXPECT_EQ(Brackets("[[创1:1]创2:1]", "43003", &links),
              " <a href=01000> <a href=01001>创1:1</a>创2:1</a>");
    EXPECT_EQ(links, 2);
    EXPECT_EQ(Brackets("[x:[创1:1]", "43003", &links), " <a href=01000>x:[创1:1</a>");
    EXPECT_EQ(links, 1);

    // A long record of references: every one is linked, in order.
    std::string record;
    std::string expected;
    for (int k = 0; k < 50000; ++k) {
        record += "[创1:1]";
        expected += " <a href=01001>创1:1</a>";
    }
    EXPECT_EQ(Brackets(record, "43003", &links), expected);
    EXPECT_EQ(links, 50000);
}

TEST_F(ChapterKeysTest, BracketHostileInput) {
    // Whatever the text, every "[" that the pass removes leaves one "</a>" in place of its "]",
    // and every link it counts has its opening tag.
    auto check = [&](std::string_view original) {
        SCOPED_TRACE(std::string(original));
        GbString text(original);
        const int links = LinkBracketReferences(text, "43003", context);
        EXPECT_EQ(CountBytes(original, "[") - CountBytes(text, "["), CountBytes(text, "</a>"));
        EXPECT_EQ(CountBytes(original, "]") - CountBytes(text, "]"), CountBytes(text, "</a>"));
        EXPECT_EQ(links, CountBytes(text, " <a href="));
    };
    for (const char* text : {"", "[", "]", "][", "[[[[", "]]]]", "abc[", "abc[创1:", "[:]", "[]",
                             "[章]", "[[创1:1]", "[创1:1]]", "[1:1", "x[\xB4]", "[\xB4:]",
                             "[\xB4\xB4\xB4]:", "[创]:", "[9:]", "[-:9]", "[本]:", "[:\xB4"}) {
        check(text);
    }
    EXPECT_EQ(Brackets("[:]"), " <a href=01000>:</a>");
    // A default key holding brackets is never scanned as text: the pass ends.
    {
        // (An input that once kept the pass linking inside its own copies of the key.)
        GbString linked("[]\xD5;[\xFF\xFF\xFF\xFF] [\xB1\xBE\xD5\xC2] (\xCA\xAB" "22\xC6\xAA]");
        const int links = LinkBracketReferences(linked, "0@\xC2] [\xB1\xBE\xD5\xC2] ", context);
        EXPECT_EQ(links, CountBytes(linked, " <a href="));
    }
    EXPECT_EQ(Brackets("[创99999999:1]"), " <a href=01999>创99999999:1</a>");
    EXPECT_EQ(Brackets("[创1:1][99999999999999:1]"),
              " <a href=01001>创1:1</a> <a href=01647>99999999999999:1</a>");

    const std::string pieces[] = {"[", "]", ":", "创", "章", "篇", "1", "本章", "。", "约一",
                                  "x", " ", "\xB4"};
    std::mt19937 random(20240601);
    for (int round = 0; round < 500; ++round) {
        std::string text;
        const auto count = random() % 60;
        for (unsigned k = 0; k < count; ++k) text += pieces[random() % std::size(pieces)];
        check(text);
    }

    // Many nested brackets before one "]", and many brackets that get no link.
    std::string nested(200000, '[');
    nested += "x]";
    check(nested);
    std::string many;
    for (int k = 0; k < 20000; ++k) many += "[1章]";
    check(many);
}

}  // namespace
}  // namespace quillax
