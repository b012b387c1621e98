#include "engine/pages/chapter_page.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "module_fixture.h"
#include "textlib/vocabulary.h"

namespace quillax {
namespace {

using testing::BuildModuleFiles;
using testing::ModuleFiles;
using testing::ModuleInstallation;
using testing::ModuleRecord;

// Genesis 1 as the chain-reference module writes it: a heading, a table of two verse rows with
// their reference columns, a footnote mark in verse 1 whose note stands in verse 2's column.
const char* const kGenesis1 =
    "'e创造'f'3$1起初神创造天地。`1'0(约1:1)'1'2\r\n"
    "　$2地是空虚混沌。'0~1[本章1节]'1'4\r\n";

const char* const kBar1001 =
    "<p align=center><strong>创世记</strong>　<a href=01002>下一章</a>"
    "　<a href=02001>下一卷</a>　<a href=fanjian title=简繁转换>繁体</a></p>";

class ChapterPageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(install.SampleFound()); }
    RenderState& state() { return install.state(); }
    std::string Page(const char* key, bool noLinks) {
        return std::string(ChapterPage(state(), key, noLinks).view());
    }

    ModuleInstallation install;
};

TEST_F(ChapterPageTest, PageFormOfAChapter) {
    ASSERT_TRUE(install.WriteChapters({{"01001", kGenesis1}}));
    state().host.changedFlags = 0;
    const std::string body =
        "<big>创造</big><table class=tb><tr><td class=td1 valign=top><s>1</s><a name=1>起初神创造天地。"
        "<sup id=\"(创1:1节)\">1</sup><td class=td2 valign=top><font size=-2>(约1:1)</font>"
        "<tr><td class=td3 valign=top>\r\n<s>2</s><a name=2>地是空虚混沌。"
        "<td class=td4 valign=top><font size=-2><q>1</q> <a href=01001>本章1节</a></font></table>";
    EXPECT_EQ(Page("01001", false), std::string(kBar1001) + body + kBar1001);
    EXPECT_EQ(state().host.changedFlags, 1);  // the bracket pass ran

    // Every verse on a line of its own.
    state().readModel = 1;
    const std::string lines = Page("01001", false);
    EXPECT_NE(lines.find("valign=top><br><s>1</s><a name=1>"), std::string::npos);
    EXPECT_NE(lines.find("\r\n<br><s>2</s>"), std::string::npos);
}

TEST_F(ChapterPageTest, NoLinksFormOfAChapter) {
    ASSERT_TRUE(install.WriteChapters({{"01001", kGenesis1}}));
    EXPECT_EQ(Page("01001", true),
              "<big>创造</big><s>1</s>起初神创造天地。<sup id=\"(创1:1节)\">1</sup><br>\r\n"
              "<s>2</s>地是空虚混沌。");

    // readModel 1 breaks before every verse and moves a "(" in front of the break.
    ASSERT_TRUE(install.WriteChapters({{"01002", "$1甲(<s>乙\r\n"}}));
    state().readModel = 1;
    EXPECT_EQ(Page("01002", true), "<br><s>1</s>甲<br>(<s>乙");
}

TEST_F(ChapterPageTest, MarkupCodesOfBothForms) {
    ASSERT_TRUE(install.WriteChapters({
        {"19023", "'8（大卫的诗）'9'5耶和华'6'b$1我必不致缺乏'a30'7(约10:11)'1'z'd$2x'4\r\n"},
        {"0100000", "'3序言'0(创1:1)'1'2甲'2乙'4"},
    }));
    const std::string page = Page("19023", false);
    EXPECT_NE(page.find("<small>（大卫的诗）</small><strong>耶和华</strong>"
                        "<table class=tb><tr width=90% align=center><td class=td3 valign=top>"
                        "<s>1</s><a name=1>我必不致缺乏<td class=td4 valign=top width=30%><font size=-2>"
                        "(约10:11)</font><a><table class=tb width=90% align=center><s>2</s><a name=2>x</table>"),
              std::string::npos)
        << page;
    EXPECT_EQ(Page("19023", true),
              "<small>（大卫的诗）</small><strong>耶和华</strong><s>1</s>我必不致缺乏<a><s>2</s>x");

    // A special key: study-table classes instead of the verse classes, no bar, no anchors.
    EXPECT_EQ(Page("0100000", false),
              "<table class=tb><tr><td class=td6 valign=top>序言<td class=td2 valign=top><font size=-2>"
              "(创1:1)</font><tr><td class=td6 valign=top>甲<tr><td class=td8 valign=top>乙</table>");
    EXPECT_EQ(Page("0100000", true), "序言<br>甲<br>乙");
}

TEST_F(ChapterPageTest, VerseMarks) {
    GbString text("$1甲$23乙$150丙$1234丁$x戊$");
    ConvertVerseMarks(text, false);
    EXPECT_EQ(text, "<s>1</s>甲<s>23</s>乙<s>150</s>丙<s>123</s>4丁$x戊$");
    // A "$" after 0x80 or 0xFF (no lead bytes) is a mark; after a lead byte it is a trail byte.
    GbString singles("\x80$1\xFF$2\xFE$3");
    ConvertVerseMarks(singles, false);
    EXPECT_EQ(singles, "\x80<s>1</s>\xFF<s>2</s>\xFE$3");

    GbString anchored("$7a<hr><br>b<br>　　<br>c\r\n<br>d<td valign=top><br>e");
    ConvertVerseMarks(anchored, true);
    EXPECT_EQ(anchored, "<s>7</s><a name=7>a<hr>b<br>c<br>d<td valign=top>e");
}

TEST_F(ChapterPageTest, FootnoteIds) {
    GbString text(
        "甲<sup>1</sup>乙<sup>2</sup>丙<sup>4</sup>"
        "<q>1</q>见[约3:16];[本章5节]\r\n  <q>2</q>本篇 \"x\"'1");
    FootnoteIds(state(), text, "19023");
    EXPECT_EQ(text,
              "甲<sup id=\"(见约3:16 诗23:5节)\">1</sup>乙<sup id=\"(诗23: x)\">2</sup>丙<sup>4</sup>"
              "<q>1</q>见[约3:16];[本章5节]\r\n  <q>2</q>本篇 \"x\"'1");

    // A mark without its note gets an empty id; the numbering stops at a missing mark.
    GbString lonely("<sup>1</sup>a<sup>3</sup>");
    FootnoteIds(state(), lonely, "01001");
    EXPECT_EQ(lonely, "<sup id=\"()\">1</sup>a<sup>3</sup>");
    EXPECT_TRUE(install.messages.empty());

    // An abbreviation of two characters and a three-digit chapter make a prefix of 8 bytes: the
    // key is reported and stands in for the prefix.
    GbString wrong("<q>1</q>本章3节<sup>1</sup>");
    FootnoteIds(state(), wrong, "09150");
    ASSERT_EQ(install.messages.size(), 1u);
    EXPECT_EQ(install.messages[0].first, "09150");
    EXPECT_EQ(install.messages[0].second, "经节出错了");
    EXPECT_EQ(wrong, "<q>1</q>本章3节<sup id=\"(091503节)\">1</sup>");
}

std::string Bar(RenderState& state, int number) { return std::string(NavigationBar(state, number).view()); }

TEST_F(ChapterPageTest, NavigationBarEnds) {
    // Genesis 1: no previous links.
    EXPECT_EQ(Bar(state(), 1001), kBar1001);
    // Genesis 50: the next chapter is the next book's first, so only the book link remains.
    EXPECT_EQ(Bar(state(), 1050),
              "<p align=center><a href=01049>上一章</a>　<strong>创世记</strong>"
              "　<a href=02001>下一卷</a>　<a href=fanjian title=简繁转换>繁体</a></p>");
    // Exodus 1: previous book and the last chapter of Genesis.
    EXPECT_EQ(Bar(state(), 2001),
              "<p align=center><a href=01001>上一卷</a>　<a href=01050>上一章</a>"
              "　<strong>出埃及记</strong>　<a href=02002>下一章</a>　<a href=03001>下一卷</a>"
              "　<a href=fanjian title=简繁转换>繁体</a></p>");
    // Obadiah (one chapter): its previous chapter is the previous book's first only when that
    // book has one chapter; Amos has 9.
    EXPECT_EQ(Bar(state(), 31001),
              "<p align=center><a href=30001>上一卷</a>　<a href=30009>上一章</a>"
              "　<strong>俄巴底亚书</strong>　<a href=32001>下一卷</a>"
              "　<a href=fanjian title=简繁转换>繁体</a></p>");
    // Revelation 22: no next links. With traditional characters on, the other language link.
    state().useGbk = 1;
    EXPECT_EQ(Bar(state(), 66022),
              "<p align=center><a href=65001>上一卷</a>　<a href=66021>上一章</a>"
              "　<strong>启示录</strong>　<a href=fanjian title=简繁转换>简体</a></p>");
    state().useGbk = 0;
    // Revelation 1 and Jude (book 65, one chapter).
    EXPECT_EQ(Bar(state(), 66001).find("<a href=65001>上一卷</a>　<strong>启示录</strong>"
                                       "　<a href=66002>下一章</a>　<a href=fanjian"),
              16u);
}

TEST_F(ChapterPageTest, NavigationLabelsIntoPsalms) {
    // Links that lead into Psalms say psalm, not chapter.
    EXPECT_NE(Bar(state(), 19001).find("<a href=19002>下一篇</a>"), std::string::npos);
    EXPECT_NE(Bar(state(), 19002).find("<a href=18001>上一卷</a>　<a href=19001>上一篇</a>"),
              std::string::npos);
    EXPECT_NE(Bar(state(), 20001).find("<a href=19001>上一卷</a>　<a href=19150>上一篇</a>"),
              std::string::npos);
    EXPECT_NE(Bar(state(), 18041).find("<a href=18042>下一章</a>　<a href=19001>下一卷</a>"),
              std::string::npos);
    EXPECT_EQ(Bar(state(), 18042).find("下一篇"), std::string::npos);  // N equals M: dropped
    EXPECT_NE(Bar(state(), 19150).find("<a href=19149>上一篇</a>　<strong>诗篇</strong>"
                                       "　<a href=20001>下一卷</a>"),
              std::string::npos);

    GbString bar;
    NavLink(state(), bar, 0, kWordNextBook);
    NavLink(state(), bar, -5, kWordNextBook);
    EXPECT_TRUE(bar.IsEmpty());
    NavLink(state(), bar, 1001, kWordPreviousBook);
    EXPECT_EQ(bar, "　<a href=01001>上一卷</a>");
}

TEST_F(ChapterPageTest, ParallelVersionsInTheTable) {
    ASSERT_TRUE(install.WriteChapters({{"01001", kGenesis1}}));
    ASSERT_TRUE(install.WriteModule(
        "usr\\kjv", {{"01001", "$1In the beginning God created.\r\n$2And the earth was void.\r\n"}}));
    state().readModel = 2;
    const std::string page = Page("01001", false);
    const std::string kjv1 =
        "<div class=\"pv\" title=kjv><span class=pvname>〔kjv〕</span>In the beginning God created.\r\n</div>";
    const std::string kjv2 =
        "<div class=\"pv\" title=kjv><span class=pvname>〔kjv〕</span>And the earth was void.</div>";
    // Each verse at the end of its verse cell, before the reference cell; the last one before
    // the last reference cell. The second module of EQUATEFILE (usr\web) is missing and adds
    // nothing.
    EXPECT_NE(page.find("<sup id=\"(创1:1节)\">1</sup>" + kjv1 + "<td class=td2 valign=top>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("地是空虚混沌。" + kjv2 + "<td class=td4 valign=top>"), std::string::npos) << page;
    EXPECT_EQ(page.find("usr"), std::string::npos);

    // A special key gets no parallel verses.
    ASSERT_TRUE(install.WriteChapters({{"0100000", "$1甲\r\n"}}));
    EXPECT_EQ(Page("0100000", false).find("pv"), std::string::npos);
}

TEST_F(ChapterPageTest, ParallelVersionsInNoLinksText) {
    // Headings and an opening parenthesis before a verse stay in front of it; a rule becomes a
    // break; the verses that have no partner in the page come at the end.
    ASSERT_TRUE(install.WriteChapters({{"43001", "<hr>$1甲　　'e标题'f$2乙($3丙\r\n"}}));
    ASSERT_TRUE(install.WriteModule("usr\\kjv", {{"43001", "$1A\r\n$2B\r\n$3C\r\n$4D\r\n$5E"}}));
    state().parallelModules = GbList("usr\\kjv", ",");
    state().cmpStr = GbList("0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,"
                            "29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,"
                            "54,55,56,57,58,59,60,61,62,63,64,65,66,67,68,69,70,71,72,[,],<,>",
                            ",");
    state().readModel = 5;
    EXPECT_EQ(Page("43001", true), "<br><s>1</s>甲[<kjv>A\r\n]<big>标题</big><s>2</s>乙[<kjv>B\r\n]"
                                   "(<s>3</s>丙[<kjv>C\r\n][<kjv>D\r\n][<kjv>E]");
}

TEST_F(ChapterPageTest, ManyParallelModulesMostOfThemMissing) {
    ASSERT_TRUE(install.WriteChapters({{"01001", kGenesis1}}));
    // Written with other letter case than the configuration lists it.
    ASSERT_TRUE(install.WriteModule(
        "usr\\Kjv", {{"01001", "$1In the beginning God created.\r\n$2And the earth was void.\r\n"}}));
    state().readModel = 2;
    state().parallelModules = GbList("usr\\kjv", ",");
    const std::string alone = Page("01001", false);
    ASSERT_NE(alone.find("In the beginning God created."), std::string::npos) << alone;

    // Thousands of listed modules that are not installed add nothing, wherever the one that is
    // stands in the list.
    GbList many;
    for (int i = 0; i < 3000; ++i) {
        many.Add("usr\\m" + std::to_string(i));
        if (i == 1500) many.Add("usr\\kjv");
    }
    state().parallelModules = many;
    EXPECT_EQ(Page("01001", false), alone);

    // Each listed module, installed or not, lets the no-links page turn up to 2,049 more rules
    // into breaks.
    std::string rules;
    for (int i = 0; i < 3000; ++i) rules += "<hr>";
    ASSERT_TRUE(install.WriteChapters({{"43001", "$1甲" + rules + "$2乙\r\n"}}));
    ASSERT_TRUE(install.WriteModule("usr\\kjv", {{"43001", "$1A\r\n$2B"}}));
    state().readModel = 5;
    state().parallelModules = GbList("usr\\kjv", ",");
    const auto countRules = [](const std::string& page) {
        int count = 0;
        for (auto at = page.find("<hr>"); at != std::string::npos; at = page.find("<hr>", at + 4)) ++count;
        return count;
    };
    EXPECT_EQ(countRules(Page("43001", true)), 3000 - 2049);
    state().parallelModules = GbList("usr\\kjv,usr\\none", ",");
    const std::string twoListed = Page("43001", true);
    EXPECT_EQ(countRules(twoListed), 0);
    GbList listed("usr\\kjv", ",");
    for (int i = 0; i < 40; ++i) listed.Add("usr\\none" + std::to_string(i));
    state().parallelModules = listed;
    EXPECT_EQ(Page("43001", true), twoListed);
}

TEST_F(ChapterPageTest, PagesOpenedWhileTheModuleIsReplacedAreWhole) {
    // Two versions of the chain-reference module, of different sizes, each with its index. Another
    // program puts them in place in turn (the text, then the index, each replaced whole) while the
    // chapters are opened: each page holds its chapter of one version, whole, and nothing else.
    constexpr int kChapters = 20;
    std::vector<ModuleRecord> first;
    std::vector<ModuleRecord> second;
    std::vector<std::string> fromFirst;
    std::vector<std::string> fromSecond;
    for (int c = 1; c <= kChapters; ++c) {
        const std::string key = MakeChapterKey(1000 + c).str();
        fromFirst.push_back("甲" + std::to_string(c) + "章" + std::string(1 + c * 7 % 40, 'a') + "。");
        fromSecond.push_back("乙" + std::to_string(c) + "章" + std::string(3 + c * 11 % 50, 'b') + "。");
        first.push_back({key, "$1" + fromFirst.back() + "\r\n"});
        second.push_back({key, "$1" + fromSecond.back() + "\r\n"});
    }
    const ModuleFiles a = BuildModuleFiles(first);
    const ModuleFiles b = BuildModuleFiles(second);
    ASSERT_NE(a.text.size(), b.text.size());
    ASSERT_TRUE(install.WriteModuleFiles("sys\\tessaly", a));

    std::atomic<bool> done{false};
    std::atomic<int> rounds{0};
    std::thread writer([&] {
        const std::string text = install.path() + "/sys/tessaly.txt";
        const std::string index = install.path() + "/sys/tessaly.inx";
        for (int round = 0; round < 5000 && !done; ++round) {
            const ModuleFiles& files = round % 2 == 0 ? b : a;
            platform::WriteWholeFile(text, files.text, platform::DiskFlush::Skipped);
            platform::WriteWholeFile(index, files.index, platform::DiskFlush::Skipped);
            rounds = round + 1;
        }
    });
    int torn = 0;
    int whole = 0;
    int opened = 0;
    std::string example;
    // At least 1,500 pages, and on until the module has been replaced 200 times (or 20,000
    // pages were opened).
    for (; opened < 20000 && (opened < 1500 || rounds < 200); ++opened) {
        const int i = opened;
        const int c = 1 + i % kChapters;
        const std::string page = Page(MakeChapterKey(1000 + c).c_str(), false);
        const bool mine = page.find(fromFirst[c - 1]) != std::string::npos ||
                          page.find(fromSecond[c - 1]) != std::string::npos;
        bool others = page.find(":=") != std::string::npos;
        for (int other = 1; other <= kChapters; ++other) {
            if (other == c) continue;
            others = others || page.find(fromFirst[other - 1]) != std::string::npos ||
                     page.find(fromSecond[other - 1]) != std::string::npos;
        }
        if (mine && !others) {
            ++whole;
        } else if (mine || others) {
            ++torn;
            example = page;
        }
        // Neither: the files could not be opened at that moment, and the page says the
        // passage is missing.
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0) << "for example: " << example;
    EXPECT_GT(whole, opened * 9 / 10);
}

TEST_F(ChapterPageTest, HostileRecords) {
    // Unterminated codes, a reference column that never closes, marks without digits, huge
    // numbers, bytes of GBK trail values next to the marks.
    ASSERT_TRUE(install.WriteChapters({
        {"01001", "'3$1甲`乙~'0(没有结束\r\n"},
        {"01002", "$99999`123456789~``'a'7'0'0'1'1'z'\r\n"},
        {"01003", ""},
    }));
    EXPECT_EQ(Page("01001", true), "<s>1</s>甲<sup>乙<q>");
    const std::string page = Page("01001", false);
    EXPECT_NE(page.find("<s>1</s><a name=1>甲<sup>乙<q><td class=td4 valign=top><font size=-2>(没有结束"),
              std::string::npos)
        << page;
    EXPECT_EQ(Page("01002", true), "<s>999</s>99<sup>123456789</sup><q><sup><sup><a>'");
    EXPECT_FALSE(Page("01002", false).empty());
    // An empty record and a missing record: the missing-passage notice between the bars in
    // page form, nothing without links.
    const std::string bar = std::string(NavigationBar(state(), 1003).view());
    EXPECT_EQ(Page("01003", false), bar + state().cmpStr[5].str() + bar);
    EXPECT_EQ(Page("01003", true), "");
    EXPECT_EQ(Page("01050", true), "");
    EXPECT_EQ(Page("", true), "");
    EXPECT_EQ(Page("99999", false), "");
    EXPECT_EQ(Page("67001", false), "");  // book 67: no chapter, no bar
    state().readModel = 9999;
    EXPECT_EQ(Page("01003", true), "");  // no parallel module either

    // The second bytes of "乣" (81 60) and "亊" (81 7E) are the footnote marks' bytes.
    ASSERT_TRUE(install.WriteChapters({{"01004", "乣1亊2`1~1\r\n"}}));
    state().readModel = 0;
    EXPECT_EQ(Page("01004", true), "乣1亊2<sup id=\"()\">1</sup><q>1</q>");
}

}  // namespace
}  // namespace quillax
