// The control's members one by one: the wait rule, the configuration members, the picture
// table page, page opening with history, the key commands and auto-scroll, and calls that find
// no window, event, document or body, or get absurd arguments.
#include <gtest/gtest.h>

#include <string>

#include "control_fixture.h"

namespace quillax {
namespace {

using testing::ControlTest;
using testing::Lines;
using testing::N;
using testing::W;

class ControlMethodTest : public ControlTest {};

TEST_F(ControlMethodTest, MembersWaitForTheEngineAtMost20Rounds) {
    RenderState& s = state();
    s.busy = true;
    std::u16string value;
    control->getcfg(u"SEARCH=", &value);
    EXPECT_EQ(sleeps, std::vector<int>(20, 10));
    EXPECT_TRUE(value.empty());  // the write guard refuses while busy

    // The engine frees itself after the third pause: three pauses.
    sleeps.clear();
    s.events.sleep = [&](int ms) {
        sleeps.push_back(ms);
        if (sleeps.size() == 3) s.busy = false;
    };
    control->get_Ver(&value);
    EXPECT_EQ(sleeps.size(), 3u);

    // The members that never wait.
    s.busy = true;
    sleeps.clear();
    std::int32_t changed = 0;
    control->get_Changed(&changed);
    control->put_Changed(3);
    control->get_FixResult(u"x", &value);
    control->linkmap(u"01");
    control->AddBibleLink();
    Key('*');
    control->init(&host, u"");
    EXPECT_TRUE(sleeps.empty());

    // MouseOut waits a full round only when no popup is pending; otherwise with what its
    // previous call left of its counter.
    s.busy = true;
    s.events.sleep = [&](int ms) { sleeps.push_back(ms); };
    control->MouseOut();
    EXPECT_EQ(sleeps.size(), 20u);
    s.host.openTimer = -1;
    control->MouseOut();
    EXPECT_EQ(sleeps.size(), 20u);
    s.host.openTimer = 0;
    control->MouseOut();
    EXPECT_EQ(sleeps.size(), 40u);
    s.busy = false;
}

TEST_F(ControlMethodTest, ConfigurationMembers) {
    RenderState& s = state();
    std::u16string value = u"unset";
    control->getcfg(u"SEARCH=", &value);
    EXPECT_EQ(value, u"恩典");

    // A write stores the value and returns nothing.
    value = u"unset";
    control->getcfg(u"SEARCH=平安", &value);
    EXPECT_EQ(value, u"unset");
    value.clear();
    control->getcfg(u"search=", &value);
    EXPECT_EQ(value, u"平安");

    // The third background colour; a key that is not in the file leaves the result unset.
    control->getcfg(u"CSSBGCOLOR=2", &value);
    EXPECT_EQ(value.size(), 7u);
    EXPECT_EQ(value[0], u'#');
    value = u"unset";
    control->getcfg(u"NOSUCHKEY=", &value);
    control->getcfg(u"", &value);
    control->getcfg(std::u16string(100000, u'A'), &value);
    control->getcfg(u"SEARCH=", nullptr);
    EXPECT_EQ(value, u"unset");

    s.buildLabel = "Build 2006.07.28 20:25";
    control->get_Ver(&value);
    EXPECT_EQ(value, u"Build 2006.07.28 20:25");
    s.buildLabel.Empty();
    control->get_Ver(&value);
    EXPECT_TRUE(value.empty());

    // Changed keeps whatever is put; a new control starts from 0.
    std::int32_t changed = 1;
    for (std::int32_t v : {0, 3, -7, 2147483647}) {
        control->put_Changed(v);
        control->get_Changed(&changed);
        EXPECT_EQ(changed, v);
    }
    const auto second = MakeControl();
    control->get_Changed(&changed);
    EXPECT_EQ(changed, 0);
}

TEST_F(ControlMethodTest, LinkmapLaysThePicturesOutInRows) {
    RenderState& s = state();
    ASSERT_TRUE(platform::WriteWholeFile(
        inst.path() + "\\bible.ini",
        "[config]\r\nTU01=0111=100,080;0112=100,080;0121=050,040;\r\n"
        "TU12=a1-1=200,100;a1-2=200,100;a2-1=100,100;\r\n"));
    const std::string dir = s.installDir.str();
    const auto cell = [&dir](const std::string& name, int w, int h) {
        return "<td><img src=" + dir + "pic\\tu" + name + ".jpg name=" + name + " width=" +
               std::to_string(w) + " height=" + std::to_string(h) + " border=0></td>";
    };
    const std::string open = "<table border=0 cellpadding=0 cellspacing=0>\n<tr>";

    s.pictureScale = 1.0;
    control->linkmap(u"0121");
    EXPECT_EQ(Body(), open + cell("0111", 100, 80) + cell("0112", 100, 80) + "</tr>\n<tr>" +
                          cell("0121", 50, 40) + "</tr></table>");

    // Groups from "11" on: the row digit stands before the "-"; the scale applies (truncated).
    s.pictureScale = 1.5;
    control->linkmap(u"12");
    EXPECT_EQ(Body(), open + cell("a1-1", 300, 150) + cell("a1-2", 300, 150) + "</tr>\n<tr>" +
                          cell("a2-1", 150, 150) + "</tr></table>");

    // A group missing from the configuration: a table without cells.
    control->linkmap(u"99");
    EXPECT_EQ(Body(), "<table border=0 cellpadding=0 cellspacing=0></tr></table>");
    control->linkmap(u"");
    EXPECT_EQ(Body(), "<table border=0 cellpadding=0 cellspacing=0></tr></table>");

    // A table cut off inside an entry stops at its last ";".
    ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\bible.ini",
                                         "[config]\r\nTU02=0211=100,080;0212=1\r\n"));
    s.pictureScale = 1.0;
    control->linkmap(u"02");
    EXPECT_EQ(Body(), open + cell("0211", 100, 80) + "</tr></table>");
}

TEST_F(ControlMethodTest, OpenchahtmRecordsAndOpens) {
    RenderState& s = state();
    host.anchors[u"16"] = {{u"A", 40}};
    control->openchahtm(u"file:///C:/Corvex/43003", 0, u":16");
    EXPECT_NE(Body().find("神爱世人"), std::string::npos);
    EXPECT_EQ(s.host.currentKey, "43003");
    EXPECT_EQ(host.scrollY, 40);
    const HistoryList* list = s.events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list->Current().key), "43003");
    EXPECT_EQ(std::string(list->Current().position), ":16");

    // The day page and the calendar through GetWheel: a day page is recorded with "PGW".
    control->GetWheel(u"1");
    EXPECT_EQ(std::string(list->Current().key), "1");
    EXPECT_EQ(std::string(list->Current().position), "PGW");
    const std::size_t entries = list->Entries().size();
    host.body.clear();
    control->GetWheel(u"H+2024-05-01");
    EXPECT_EQ(s.host.planMode, 1);
    EXPECT_FALSE(host.body.empty());
    control->GetWheel(u"H2024-05-01");
    EXPECT_EQ(s.host.planMode, 0);
    EXPECT_EQ(list->Entries().size(), entries);

    // Back from the chapter to the day page shows the day page again.
    control->openchahtm(u"01001", 0, u"");
    Element("A", "bar", "bk", "后退");
    host.ClearLog();
    Click();
    EXPECT_EQ(std::string(list->Current().position), "PGW");
    EXPECT_FALSE(Logged("SetWindowCaption"));  // no page opened through OpenPage
    EXPECT_TRUE(Logged("RunScript fix()"));
}

TEST_F(ControlMethodTest, AddBibleLinkAndFixResult) {
    RenderState& s = state();
    host.body = W("<p>参看(约3:16)</p>");
    s.host.changedFlags = 2;
    control->AddBibleLink();
    EXPECT_EQ(host.body, W("<p>参看(约3:16)</p>"));  // the body already belongs to the engine
    s.host.changedFlags = 0;
    control->AddBibleLink();
    EXPECT_NE(Body().find("<a href=43003>"), std::string::npos) << Body();
    EXPECT_NE(s.host.changedFlags, 0);

    std::u16string result;
    control->get_FixResult(u"<A href=\"file:///C:/x/43003\">约3:16</A>神爱世人", &result);
    EXPECT_EQ(result.find(u"href"), std::u16string::npos);
    EXPECT_NE(result.find(u"[约3:16]"), std::u16string::npos);
    control->get_FixResult(u"", &result);
    EXPECT_TRUE(result.empty());
}

TEST_F(ControlMethodTest, KeyCommandsSetThePopupLevel) {
    RenderState& s = state();
    Key('*');
    EXPECT_EQ(s.extendNote, 3);
    Key('/');
    EXPECT_EQ(s.extendNote, 2);
    Key(10, true);
    EXPECT_EQ(s.extendNote, 3);
    Key(10, true);
    EXPECT_EQ(s.extendNote, 0);
    Key(10, false);  // line feed alone does nothing
    host.event.shiftKey = true;
    Key(10, true);   // nor with Shift as well as Ctrl
    host.event.shiftKey = false;
    EXPECT_EQ(s.extendNote, 0);
    EXPECT_FALSE(host.eventCancelled);
}

TEST_F(ControlMethodTest, BlankTogglesAutoScrollUntilThePageEnds) {
    RenderState& s = state();
    ASSERT_EQ(s.scrollSpeed, 50);
    host.bodyScrollTop = 30;
    Key(' ');
    EXPECT_TRUE(host.eventCancelled);
    ASSERT_NE(s.host.scrollTimer, 0);
    EXPECT_EQ(timers.Interval(s.host.scrollTimer), 50);
    EXPECT_EQ(s.host.lastScrollTop, 30);

    // Each tick scrolls one pixel; while the body moves, scrolling goes on.
    host.ClearLog();
    host.bodyScrollTop = 31;
    timers.Advance(50);
    EXPECT_EQ(host.Log(), (Lines{"ScrollBy 0 1", "BodyScrollTop"}));
    EXPECT_EQ(s.host.lastScrollTop, 31);
    // The body no longer moves: the end of the page stops it.
    timers.Advance(50);
    EXPECT_EQ(s.host.scrollTimer, 0);
    EXPECT_EQ(timers.Pending(), 0);

    // Blank again stops it; so does a click.
    Key(' ');
    ASSERT_NE(s.host.scrollTimer, 0);
    Key(' ');
    EXPECT_EQ(s.host.scrollTimer, 0);
    EXPECT_EQ(timers.Pending(), 0);
    Key(' ');
    VerseLink();
    Click();
    EXPECT_EQ(s.host.scrollTimer, 0);
    EXPECT_EQ(timers.Pending(), 0);
}

TEST_F(ControlMethodTest, PlusAndMinusZoomAPicturePage) {
    host.url = u"file:///C:/Corvex/cfg/tu01.htm";
    host.body = u"<TABLE><TR><TD><IMG height=240 src=\"pic/a.jpg\" width=320 border=0></TD>"
                u"<TD><IMG height=\"100\" width=50></TD></TR></TABLE>";
    Key('+');
    EXPECT_EQ(Body(), "<table><tr><td><img height=264 src=\"pic/a.jpg\" width=352 border=0></td>"
                      "<td><img height=\"110\" width=55></td></tr></table>");
    EXPECT_TRUE(host.eventCancelled);
    Key('-');
    EXPECT_EQ(Body(), "<table><tr><td><img height=237 src=\"pic/a.jpg\" width=316 border=0></td>"
                      "<td><img height=\"99\" width=49></td></tr></table>");
    // A picture page gets no link bar from being zoomed.
    state().linkControl = "<lc>";
    Key('+');
    EXPECT_EQ(Body().find("<lc>"), std::string::npos);
    state().linkControl.Empty();
    // Values too large for a number stay inside one.
    host.body = u"<img height=99999999999 width=x>";
    Key('+');
    EXPECT_EQ(Body(), "<img height=2147483647 width=x>");
}

TEST_F(ControlMethodTest, WithoutWindowEventDocumentOrBodyNothingHappens) {
    RenderState& s = state();
    std::u16string value;
    // No window at all.
    Cqlx bare(s);
    bare.init(nullptr, u"");
    EXPECT_EQ(bare.MouseOver(), kResultOk);
    EXPECT_EQ(bare.MouseOut(), kResultOk);
    EXPECT_EQ(bare.MouseClick(), kResultOk);
    EXPECT_EQ(bare.pF10(), kResultOk);
    EXPECT_EQ(bare.GetWheel(u"1"), kResultOk);
    EXPECT_EQ(bare.linkmap(u"01"), kResultOk);
    EXPECT_EQ(bare.openchahtm(u"01001", 0, u""), kResultOk);
    EXPECT_EQ(bare.AddBibleLink(), kResultOk);
    EXPECT_EQ(bare.SearchWord(u"神", u"", 0, nullptr), kResultOk);
    EXPECT_EQ(timers.Pending(), 0);
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ(s.host.popupWindow, nullptr);

    // A window without an event: hovering and clicking start and cancel nothing.
    host.hasEvent = false;
    VerseLink();
    Over();
    Click();
    Key('*');
    EXPECT_EQ(timers.Pending(), 0);
    EXPECT_FALSE(host.eventCancelled);
    EXPECT_EQ(s.extendNote, 2);

    // A window without a document or a body: nothing is read or written.
    host.hasEvent = true;
    for (int missing = 0; missing < 2; ++missing) {
        host.hasDocument = missing != 0;
        host.hasBody = false;
        host.ClearLog();
        Over();
        control->MouseOut();
        Click();
        control->openchahtm(u"01001", 0, u"");
        control->GetWheel(u"H");
        control->linkmap(u"01");
        control->AddBibleLink();
        EXPECT_TRUE(host.Log().empty()) << host.LogText();
        EXPECT_EQ(timers.Pending(), 0);
    }
}

TEST_F(ControlMethodTest, AbsurdArgumentsAndElementsDoNoHarm) {
    RenderState& s = state();
    const std::u16string longKey(200000, u'9');
    control->openchahtm(longKey, 7, longKey);
    control->openchahtm(u"/", -1, u":");
    control->openchahtm(u"", 0, u"");
    control->GetWheel(longKey);
    control->GetWheel(u"H");
    control->GetWheel(u"");
    control->linkmap(longKey);
    std::u16string out;
    control->get_FixResult(longKey, &out);
    EXPECT_FALSE(s.busy);

    // A link with a huge inner HTML: hover, popup, click and history cope.
    const std::string huge(1024 * 1024, 'x');
    Element("A", "", "01001", huge.c_str());
    Over();
    timers.Advance(400);
    Click();
    const HistoryList* list = s.events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Current().position.size(), huge.size());
    EXPECT_FALSE(s.busy);

    // An href without its closing quote reads as no href: the click only cancels.
    host.source.outerHtml = u"<A href=\"about:blank01002>x</A>";
    host.ClearLog();
    host.eventCancelled = false;
    Click();
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
}

}  // namespace
}  // namespace quillax
