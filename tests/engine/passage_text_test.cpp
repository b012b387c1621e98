#include "engine/pages/passage_text.h"

#include <gtest/gtest.h>

#include <string>

#include "module_fixture.h"

namespace quillax {
namespace {

using testing::ModuleInstallation;

class PassageTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(install.SampleFound());
        const std::string longNote = "{" + std::string(160, 'a') + "}";
        ASSERT_TRUE(install.WriteChapters({
            {"01001",
             "'3$1起初神创造天地。'0(约1:1)'1'2\r\n"
             "　$2地是空虚混沌。'0'1'2\r\n"
             "　$3神说要有光。'0'1'2\r\n"
             "　$4神看光是好的-$5神称光为昼。'0'1'4\r\n"},
            {"01002", "'3$1天地万物都造齐了。'2\r\n　$2到第七日。'4\r\n"},
            {"01003", "'3$1蛇比田野一切的活物更狡猾。'2\r\n　$2女人对蛇说。'2\r\n　$3惟有园当中那棵树上的果子。'4\r\n"},
            {"01004", "$1甲'e小标题'f$2乙亇$3丙" + longNote + "\r\n"},
            {"19003", "'5诗题'6'8（大卫的诗）'9$1耶和华啊，我的敌人何其加增。'2\r\n　$2有许多人议论我。'4\r\n"},
            {"0100000", "序言　\r\n"},
            {"03001", "$1丙{" + std::string(160, 'x') + "\xFF}$2丁{" + std::string(160, 'y') +
                          "\x80}$3戊{" + std::string(160, 'z') + "\xFE}\r\n"},
        }));
    }
    std::string Passage(const char* key, const char* reference) {
        return std::string(PassageText(install.state(), key, reference).view());
    }

    ModuleInstallation install;
};

TEST_F(PassageTextTest, VerseListsAndRanges) {
    EXPECT_EQ(Passage("01001", "创1:1,3"), "【<tt>创1:1,3</tt>】<s>1</s>起初神创造天地。<br><s>3</s>神说要有光。");
    EXPECT_EQ(Passage("01001", "创1:2-3"), "【<tt>创1:2-3</tt>】<s>2</s>地是空虚混沌。<br><s>3</s>神说要有光。");
    // An open range, and a range past the last verse, run to the end of the chapter.
    const std::string toEnd = "<s>3</s>神说要有光。<br><s>4</s>神看光是好的-<s>5</s>神称光为昼。";
    EXPECT_EQ(Passage("01001", "创1:3-"), "【<tt>创1:3-</tt>】" + toEnd);
    EXPECT_EQ(Passage("01001", "创1:3-9"), "【<tt>创1:3-9</tt>】" + toEnd);
    // A verse ending with "-" runs on into the next one.
    EXPECT_EQ(Passage("01001", "创1:4"), "【<tt>创1:4</tt>】<s>4</s>神看光是好的-<s>5</s>神称光为昼。");
    // The words for halves and ordinals go; "本章" stands for the chapter of the key; the path
    // before the key does not matter.
    EXPECT_EQ(Passage("a/b/01001", "第1章3节上"), "【<tt>第1章3节上</tt>】" + std::string("<s>1</s>起初神创造天地。") +
                                                  "<br><s>2</s>地是空虚混沌。<br>" + toEnd);
    EXPECT_EQ(Passage("01001", "本章3节"), "【<tt>本章3节</tt>】<s>3</s>神说要有光。");
}

TEST_F(PassageTextTest, WholeChapters) {
    const std::string whole =
        "<s>1</s>起初神创造天地。<br><s>2</s>地是空虚混沌。<br><s>3</s>神说要有光。<br>"
        "<s>4</s>神看光是好的-<s>5</s>神称光为昼。";
    EXPECT_EQ(Passage("01001", "创1章"), "【<tt>创1章</tt>】" + whole);
    // A psalm unit word counts as the chapter word; Psalms keep their heading on a line of its
    // own and get no paragraph indent.
    EXPECT_EQ(Passage("19003", "诗3篇"),
              "【<tt>诗3篇</tt>】<strong>诗题</strong><small>（大卫的诗）</small><br>"
              "<s>1</s>耶和华啊，我的敌人何其加增。<br><s>2</s>有许多人议论我。");
    // A special key is no chapter: its whole text, trailing spaces stripped.
    EXPECT_EQ(Passage("0100000", "序言"), "【<tt>序言</tt>】序言");
}

TEST_F(PassageTextTest, RangeIntoLaterChapters) {
    // Verse 3 to the end of Genesis 1, all of Genesis 2, Genesis 3 to the end of verse 2; each
    // new chapter starts a paragraph.
    EXPECT_EQ(Passage("01001", "创1:3-3:2"),
              "【<tt>创1:3-3:2</tt>】<s>3</s>神说要有光。<br><s>4</s>神看光是好的-<s>5</s>神称光为昼。"
              "<br>　　<s>1</s>天地万物都造齐了。<br><s>2</s>到第七日。"
              "<br>　　<s>1</s>蛇比田野一切的活物更狡猾。<br><s>2</s>女人对蛇说。");
    // The last verse past the chapter's end takes the whole chapter.
    EXPECT_EQ(Passage("01002", "创2:2-3:9"),
              "【<tt>创2:2-3:9</tt>】<s>2</s>到第七日。<br>　　<s>1</s>蛇比田野一切的活物更狡猾。"
              "<br><s>2</s>女人对蛇说。<br><s>3</s>惟有园当中那棵树上的果子。");
    // A chapter past the end of the book: the chapters up to the book's end, nothing more (the
    // note in braces at the very end is cut off).
    const std::string far = Passage("01002", "创2:1-999999:1");
    EXPECT_EQ(far, "【<tt>创2:1-999999:1</tt>】<s>1</s>天地万物都造齐了。<br><s>2</s>到第七日。"
                   "<br>　　<s>1</s>蛇比田野一切的活物更狡猾。<br><s>2</s>女人对蛇说。<br><s>3</s>惟有园当中那棵树上的果子。"
                   "<br>　　<s>1</s>甲<big>小标题</big><s>2</s>乙亇<s>3</s>丙");
    // A chapter number too far below zero for an int: only this chapter's verses, no later
    // chapters (the clamped number minus one used to wrap round to the largest int).
    EXPECT_EQ(Passage("01002", "创2:1--99999999999:1"),
              "【<tt>创2:1--99999999999:1</tt>】<s>1</s>天地万物都造齐了。<br><s>2</s>到第七日。");
}

TEST_F(PassageTextTest, HeadingsAndTails) {
    // "*" is the psalm's heading.
    EXPECT_EQ(Passage("19003", "诗3:*"), "【<tt>诗3:*</tt>】<strong>诗题</strong><small>（大卫的诗）</small><br>");
    EXPECT_EQ(Passage("19003", "诗3:1-2"),
              "【<tt>诗3:1-2</tt>】<s>1</s>耶和华啊，我的敌人何其加增。<br><s>2</s>有许多人议论我。");
    EXPECT_EQ(Passage("01001", "创1:*"), "（此处经文暂缺）");  // no heading in Genesis 1
    // A verse followed by a section heading loses the heading.
    EXPECT_EQ(Passage("01004", "创4:1"), "【<tt>创4:1</tt>】<s>1</s>甲");
    // "亇" ends in the byte of "}", which is no brace.
    EXPECT_EQ(Passage("01004", "创4:2"), "【<tt>创4:2</tt>】<s>2</s>乙亇");
    // A note in braces at the end is cut off.
    EXPECT_EQ(Passage("01004", "创4:3"), "【<tt>创4:3</tt>】<s>3</s>丙");
    // After 0xFF or 0x80 (no lead bytes) a "}" is a brace; after 0xFE it is a trail byte.
    EXPECT_EQ(Passage("03001", "利1:1"), "【<tt>利1:1</tt>】<s>1</s>丙");
    EXPECT_EQ(Passage("03001", "利1:2"), "【<tt>利1:2</tt>】<s>2</s>丁");
    EXPECT_EQ(Passage("03001", "利1:3"),
              "【<tt>利1:3</tt>】<s>3</s>戊{" + std::string(160, 'z') + "\xFE}");
}

TEST_F(PassageTextTest, NothingToCutOut) {
    const std::string missing = "（此处经文暂缺）";
    EXPECT_EQ(Passage("01001", "创1:9"), missing);
    EXPECT_EQ(Passage("02001", "出1:1"), missing);   // no such record
    EXPECT_EQ(Passage("01001", ""), missing);
    EXPECT_EQ(Passage("01001", "创1:-"), missing);
    EXPECT_EQ(Passage("01001", "创1:,,,"), missing);
    EXPECT_EQ(Passage("01001", "创1:99999999999"), missing);
    EXPECT_EQ(Passage("", ""), missing);
    // A backwards range runs to the end; garbage items are passed over.
    EXPECT_NE(Passage("01001", "创1:4-1,x,3-a").find("<s>4</s>"), std::string::npos);
}

TEST(PassageTextWithoutInstallation, MissingModuleFiles) {
    ModuleInstallation install;
    ASSERT_TRUE(install.SampleFound());
    EXPECT_EQ(PassageText(install.state(), "43003", "约3:16"), "（此处经文暂缺）");
    EXPECT_EQ(PassageText(install.state(), "43003", "约3:16-4:5"), "（此处经文暂缺）");
}

}  // namespace
}  // namespace quillax
