// Study-module pages: devotional entries, module links, text-fix notes, day pages, outline
// pages and the compact layout. Chinese narrow literals are GBK bytes at run time.
#include <gtest/gtest.h>

#include <string>

#include "engine/pages/calendar.h"
#include "engine/pages/pipeline.h"
#include "engine/pages/study_pages.h"
#include "study_fixture.h"

namespace quillax {
namespace {

using testing::StudyTest;

// The header every outline page starts with (cmpStr[39] follows the tag).
const std::string kOutlineHeader = "<font style=\"text-align:right\">读经纲目　";

TEST_F(StudyTest, AmberlyEntryReadsThePlanDaysDevotional) {
    ASSERT_TRUE(WriteModule("amberly", {
        {"005", "第五日[创1:1]灵修"},
        {"215", "第二一五日"},
    }));
    state.host.popupKind = PopupVerse;

    // Past the last devotional: the vocabulary's answer, popup kind untouched.
    EXPECT_EQ(AmberlyEntry(state, "353"), "本日没有灵修短文。");
    EXPECT_EQ(state.host.popupKind, PopupVerse);
    EXPECT_EQ(AmberlyEntry(state, "4"), "本日没有灵修短文。");

    // A three-digit id is the key; bracketed references become links.
    EXPECT_EQ(AmberlyEntry(state, "005"), "第五日 <a href=01001>创1:1</a>灵修");
    EXPECT_EQ(state.host.popupKind, PopupModuleEntry);

    // A shorter id stands for the calendar date's plan day; a six-day-plan Sunday counts as
    // the Monday after it (2000-02-21, plan day 5).
    state.host.calendarDate.Set(2000, 2, 20);
    EXPECT_EQ(AmberlyEntry(state, ""), "第五日 <a href=01001>创1:1</a>灵修");
    state.host.planMode = 1;
    state.host.calendarDate.Set(2004, 2, 1);  // daily plan day 215
    EXPECT_EQ(AmberlyEntry(state, "1"), "第二一五日");
    state.host.calendarDate.Set(2004, 6, 20);  // daily plan day 355: no devotional
    EXPECT_EQ(AmberlyEntry(state, ""), "本日没有灵修短文。");

    // A day without an entry says so.
    EXPECT_EQ(AmberlyEntry(state, "100"), "本日没有灵修短文。");
}

TEST_F(StudyTest, ModuleLinksSplitTheTargetAndPostProcessOutlines) {
    ASSERT_TRUE(WriteModule("zendri", {{"360", "<table width=tdw><tr><td>注"}}));
    ASSERT_TRUE(WriteModule("emendo", {{"@恩典#", "恩典的校勘"}}));
    ASSERT_TRUE(WriteModule("oblix", {{"360", "纲目:=第三六〇日<br>末行"}}));

    GbString key("链接文字");
    GbString output = ModuleLink(state, "zendri#360", key);
    EXPECT_EQ(key, "360");
    // Study notes get the table width of the browser's font size (none set: item 0).
    EXPECT_EQ(output, "<table width=64><tr><td>注");

    // A bare module name looks up the key the caller passes (the link's text).
    key = "@恩典#";
    output = ModuleLink(state, "emendo", key);
    EXPECT_EQ(output, "恩典的校勘");

    output = ModuleLink(state, "oblix#360", key);
    EXPECT_EQ(output, kOutlineHeader + "纲目:第三六〇日</font>\r\n末行");

    // Nothing to link, or nothing there.
    key = "kept";
    output = ModuleLink(state, "", key);
    EXPECT_EQ(output, "");
    EXPECT_EQ(key, "kept");
    output = ModuleLink(state, "nosuch#1", key);
    EXPECT_EQ(key, "1");
    EXPECT_EQ(output, "");
    output = ModuleLink(state, "#", key);
    EXPECT_EQ(output, "");

    // A plan day the outline or the notes have no entry for says so; other keys and other
    // modules stay empty.
    output = ModuleLink(state, "oblix#361", key);
    EXPECT_EQ(output, "本日没有灵修短文。");
    key = "361";
    output = ModuleLink(state, "zendri", key);
    EXPECT_EQ(output, "本日没有灵修短文。");
    output = ModuleLink(state, "hymns#361", key);
    EXPECT_EQ(output, "");
    output = ModuleLink(state, "zendri#479", key);
    EXPECT_EQ(output, "");
    output = ModuleLink(state, "zendri#000", key);
    EXPECT_EQ(output, "");
    output = ModuleLink(state, "rovask#abc", key);
    EXPECT_EQ(output, "");
}

TEST_F(StudyTest, TextFixNotesAreFoundUnderEitherMarkerPair) {
    ASSERT_TRUE(WriteModule("emendo", {
        {"@恩典#", "恩典的校勘(创1:1)"},
        {"@慈爱#", "慈爱的校勘"},
        {"@grace#", "grace note"},
        {"%信心^", "暂无此条校勘注释。"},
        {"@信心#", "信心的校勘"},
    }));
    state.extendNote = 1;
    EXPECT_EQ(TextFixNote(state, "<b>恩典</b>"), "（按“/”键可显示校勘注释）");

    state.extendNote = 2;
    const GbString note = TextFixNote(state, "<b>恩典</b>");
    EXPECT_EQ(note.Find("恩典的校勘"), 0) << note.str();
    EXPECT_GE(note.Find("<a href=01001>创1:1</a>"), 0) << note.str();

    // Underlined, but filed as bold.
    EXPECT_EQ(TextFixNote(state, "<u>慈爱</u>"), "慈爱的校勘");
    // Lower-cased, italics removed.
    EXPECT_EQ(TextFixNote(state, "<B><I>Grace</I></B>"), "grace note");
    // An entry that holds the "no note" word counts as a miss.
    EXPECT_EQ(TextFixNote(state, "<u>信心</u>"), "信心的校勘");
    // Missing under both: the "no note" word.
    EXPECT_EQ(TextFixNote(state, "<b>无此</b>"), "暂无此条校勘注释。");
    EXPECT_EQ(TextFixNote(state, ""), "暂无此条校勘注释。");
    EXPECT_EQ(TextFixNote(state, "@"), "暂无此条校勘注释。");
}

TEST_F(StudyTest, DayPagesShowTheStudyNotesOrTheOutlineOfThePlanDay) {
    ASSERT_TRUE(WriteModule("zendri", {
        {"359", "<table width=tdw><tr><td>周一"},
        {"360", "<table width=tdw><tr><td>周二"},
    }));
    ASSERT_TRUE(WriteModule("oblix", {{"360", "纲目<br><h1>【创2】x</h1>"}}));
    const std::string linkControl = "<div class=linkctrl><a id=bar href=bk>后退</a>　<a id=bar href=fd>前进</a></div>";

    state.host.calendarDate.Set(2024, 3, 5);  // six-day plan day 360
    DayPage(state, "1");
    EXPECT_EQ(Body(), linkControl + "<table width=64><tr><td>周二");
    EXPECT_EQ(state.host.popupKind, PopupModuleEntry);
    EXPECT_EQ(state.host.currentKey, "360");
    EXPECT_EQ(state.host.planDay, 360);
    EXPECT_FALSE(state.busy);

    // The table width follows the browser's text size.
    ASSERT_TRUE(platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kFontKey,
                                              "IEFontSize", "3"));
    state.host.calendarDate.Set(2024, 3, 3);  // Sunday: Monday's notes
    DayPage(state, "1");
    EXPECT_EQ(Body(), linkControl + "<table width=104><tr><td>周一");
    EXPECT_EQ(state.host.currentKey, "359");

    state.host.calendarDate.Set(2024, 3, 5);
    DayPage(state, "2");
    EXPECT_EQ(Body(), linkControl + kOutlineHeader + "纲目</font>\r\n<h1>【<a href=01002>创2</a>】x</h1>");
    EXPECT_EQ(state.host.currentKey, "360");

    // A day without notes or outline says so (and gets no outline header).
    state.host.calendarDate.Set(2024, 3, 4);  // plan day 359: notes, no outline
    DayPage(state, "2");
    EXPECT_EQ(Body(), linkControl + "本日没有灵修短文。");
    state.host.calendarDate.Set(2024, 3, 6);  // plan day 361: nothing
    DayPage(state, "1");
    EXPECT_EQ(Body(), linkControl + "本日没有灵修短文。");

    // While the engine is busy nothing happens.
    host.ClearLog();
    state.busy = true;
    DayPage(state, "1");
    EXPECT_TRUE(host.Log().empty());
}

TEST_F(StudyTest, OblixPostLinksHeadingsAndOutlineLines) {
    GbString text(
        "001:=创世记<br><h1>【创1】起初</h1><br>一、【神创造天地】1/31<br>【创2】安息</h1>"
        "<br>二、【安息日】[]1-3<br>　　※三、【注】5<br><h3>小结</h3><br>末行"
        "<br><h2>【创3】尾</h2><br>【创4章】注</h2>");
    OblixPost(state, text);
    EXPECT_EQ(text, kOutlineHeader +
                        "001:创世记</font>\r\n"
                        "<h1>【<a href=01001>创1</a>】起初</h1>\r\n"
                        "一、【<ins>神创造天地</ins>】<a href=01001>创1:1-31</a>\r\n"
                        "【<a href=01002>创2</a>】安息</h1>\r\n"
                        "二、【<ins>安息日</ins>】<a href=01001>创1:1-3</a>\r\n"
                        "　　※三、【<ins>注</ins>】<a href=01002>创2:5</a>\r\n"
                        "<h3>小结</h3>\r\n"
                        "末行\r\n"
                        "<h2>【<a href=01003>创3</a>】尾</h2>\r\n"
                        "【<a href=01004>创4章</a>】注</h2>");

    // A title with a one-byte character other than "/" leaves its closing bracket off a
    // character boundary: the line stays. A two-character book name keeps its chapter digits.
    text = "hdr<br><h1>【撒上3】y</h1><br>四、【第1段】2<br>五、【甲/乙】7<br>六、【撒】12,14";
    OblixPost(state, text);
    EXPECT_EQ(text, kOutlineHeader +
                        "hdr</font>\r\n"
                        "<h1>【<a href=09003>撒上3</a>】y</h1>\r\n"
                        "四、【第1段】2\r\n"
                        "<br>五、【<ins>甲/乙</ins>】<a href=09003>撒上3:7</a>\r\n"
                        "六、【<ins>撒</ins>】<a href=09003>撒上3:12,14</a>");

    // One line only.
    text = "只有标题:=x";
    OblixPost(state, text);
    EXPECT_EQ(text, kOutlineHeader + "只有标题:x</font>");
}

TEST_F(StudyTest, OblixPostSurvivesBrokenOutlines) {
    for (const char* broken : {"", "<br>", "<br><br>", "x<br>【", "x<br>一、【", "x<br>一、【a",
                               "x<br><h1>【创1", "x<br><h1>", "x<br>】</h1>", "x<br>a】b【c】1",
                               "x<br>一、【】", "x<br>　　※【题】[]/,-", "x<br><h2>【】</h2>"}) {
        GbString text(broken);
        OblixPost(state, text);
        EXPECT_EQ(text.Find(kOutlineHeader), 0) << broken;
    }
    // A heading without its closing bracket stays as it is and is not remembered.
    HeadingMemory memory{"创9", "01009"};
    GbString line("<h1>【创1");
    HeadingLink(state, line, 6, memory, true);
    EXPECT_EQ(line, "<h1>【创1");
    EXPECT_EQ(memory.key, "01009");
}

TEST_F(StudyTest, CompactPageTogglesOnceAndReportsIt) {
    GbString page(
        "<table><tr><td class=td1 valign=top>　<a name=1>起初<br>　　<br>神<a name=2>地"
        "<td valign=top>　　<br>说<a>光</a><hr>\r\n　　<br>　的　　　话-<br>　完"
        "<td class=td1 valign=top>　　(<br>　注)");
    CompactPage(state, page);
    EXPECT_EQ(page,
              "<table><tr><td class=td1 valign=top>　<a name=1>起初<br>神<br>　<a name=2>地"
              "<td valign=top>说光</a><hr>　的　　话-完<td class=td1 valign=top>　(注)");
    EXPECT_EQ(state.host.compactState, 9999);

    // Already compact: unchanged.
    const GbString compact = page;
    CompactPage(state, page);
    EXPECT_EQ(page, compact);
    EXPECT_EQ(state.host.compactState, 0);

    GbString empty;
    state.host.compactState = 9999;
    CompactPage(state, empty);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(state.host.compactState, 0);

    // The mark at the very start does not count as compact.
    GbString start("<br>　<a name=1>x");
    CompactPage(state, start);
    EXPECT_EQ(start, "<br>　<br>　<a name=1>x");
    EXPECT_EQ(state.host.compactState, 9999);
}

}  // namespace
}  // namespace quillax
