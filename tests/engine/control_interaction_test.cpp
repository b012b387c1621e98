// Whole interactions on the fake host with the manual clock: the hover cycle with its two
// delays, pinning, the right button, history navigation with the back and forward bar, the
// language switch and the layout keys.
#include <gtest/gtest.h>

#include <string>

#include "control_fixture.h"
#include "platform/code_page.h"

namespace quillax {
namespace {

using testing::ControlTest;
using testing::Lines;
using testing::N;
using testing::W;

class ControlInteractionTest : public ControlTest {};

TEST_F(ControlInteractionTest, HoverOpensAfterTheDelayAndLeavingClosesAfterTheOther) {
    RenderState& s = state();
    ASSERT_EQ(s.openDelay, 400);
    ASSERT_EQ(s.closeDelay, 300);

    VerseLink();
    Over();
    // The first hover makes the control's popup window (text mode) and shows nothing yet.
    EXPECT_TRUE(Logged("popup.Create text"));
    EXPECT_EQ(s.host.popupWindow, control->Popup());
    EXPECT_EQ(control->HoverKey(), "创1:1A");  // innerText + id + tagName
    timers.Advance(399);
    EXPECT_FALSE(PopupVisible());
    timers.Advance(1);
    ASSERT_TRUE(PopupVisible());
    EXPECT_NE(PopupBody().find("起初"), std::string::npos);
    EXPECT_EQ(s.host.openTimer, -1);
    EXPECT_EQ(timers.Pending(), 0);  // the open timer killed itself

    // Leaving the element closes the popup after the close delay.
    control->MouseOut();
    timers.Advance(299);
    EXPECT_TRUE(PopupVisible());
    timers.Advance(1);
    EXPECT_FALSE(PopupVisible());
    EXPECT_EQ(control->Popup()->state, PopupState::Hidden);
    EXPECT_EQ(s.host.openTimer, 0);
    EXPECT_EQ(timers.Pending(), 0);

    // The waits found the engine free: nobody slept.
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(ControlInteractionTest, AnotherLinkBeforeTheDelayRestartsIt) {
    VerseLink();
    Over();
    timers.Advance(300);
    control->MouseOut();  // kills the pending open timer
    VerseLink("43003", "约3:16");
    Over();
    timers.Advance(300);  // the first link's popup would have opened by now
    EXPECT_FALSE(PopupVisible());
    timers.Advance(100);
    ASSERT_TRUE(PopupVisible());
    EXPECT_NE(PopupBody().find("神爱世人"), std::string::npos);
    EXPECT_EQ(PopupBody().find("起初"), std::string::npos);

    // Moving straight from one link to the next restarts the delay as well.
    VerseLink("01001", "创1:2");
    Over();
    timers.Advance(200);
    VerseLink("01002", "创2:1");
    Over();
    timers.Advance(399);
    EXPECT_EQ(PopupBody().find("天地万物"), std::string::npos);
    timers.Advance(1);
    EXPECT_NE(PopupBody().find("天地万物"), std::string::npos);
}

TEST_F(ControlInteractionTest, OnlyLeavingTheRequestedElementClosesAndAHoverInTimeKeepsThePopup) {
    VerseLink();
    Over();
    timers.Advance(400);
    ASSERT_TRUE(PopupVisible());

    // Leaving some other element (the key differs) starts no close timer.
    Element("A", "", "01002", "创2:1");
    control->MouseOut();
    timers.Advance(1000);
    EXPECT_TRUE(PopupVisible());

    // Leaving the element, then reaching another link before the close delay: the close timer
    // is killed and the popup turns into the new link's.
    VerseLink();
    control->MouseOut();
    timers.Advance(200);
    VerseLink("43003", "约3:16");
    Over();
    timers.Advance(150);  // the old close timer would have fired here
    EXPECT_TRUE(PopupVisible());
    timers.Advance(250);
    EXPECT_TRUE(PopupVisible());
    EXPECT_NE(PopupBody().find("神爱世人"), std::string::npos);

    // An element that may not get a popup changes nothing.
    Element("P", "", "", "正文");
    Over();
    timers.Advance(2000);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(state().host.openTimer, -1);
}

TEST_F(ControlInteractionTest, APinnedPopupStaysUntilTheNextHover) {
    VerseLink();
    Over();
    timers.Advance(400);
    control->MouseOut();
    ASSERT_NE(control->Popup()->closeTimer, 0);

    // The mouse moves onto the popup's frame before the close delay: pinned.
    timers.Advance(100);
    control->Popup()->OnNonClientMouseMove();
    EXPECT_EQ(control->Popup()->state, PopupState::Pinned);
    EXPECT_EQ(control->Popup()->closeTimer, -1);
    timers.Advance(10000);
    EXPECT_TRUE(PopupVisible());

    // A hover while the popup holds the mouse (a drag inside it) leaves it alone.
    frame->mouseCaptured = true;
    Element("P", "", "", "正文");
    Over();
    timers.Advance(1000);
    EXPECT_TRUE(PopupVisible());

    // The next hover, even over plain text, closes it after the close delay.
    frame->mouseCaptured = false;
    Over();
    timers.Advance(299);
    EXPECT_TRUE(PopupVisible());
    timers.Advance(1);
    EXPECT_FALSE(PopupVisible());
    EXPECT_EQ(control->Popup()->state, PopupState::Hidden);
}

TEST_F(ControlInteractionTest, APinnedPopupsCloseTimerDoesNotHideTheNextPopup) {
    // A close delay longer than the open delay: the next link's popup opens while the pinned
    // popup's close timer still runs, and stays.
    RenderState& s = state();
    s.openDelay = 200;
    s.closeDelay = 500;
    VerseLink();
    Over();
    timers.Advance(200);
    control->Popup()->OnNonClientMouseMove();
    ASSERT_EQ(control->Popup()->state, PopupState::Pinned);

    VerseLink("43003", "约3:16");
    Over();
    timers.Advance(200);
    ASSERT_TRUE(PopupVisible());
    EXPECT_NE(PopupBody().find("神爱世人"), std::string::npos);
    timers.Advance(1000);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(timers.Pending(), 0);

    // Leaving the link closes it after the close delay as usual.
    control->MouseOut();
    timers.Advance(499);
    EXPECT_TRUE(PopupVisible());
    timers.Advance(1);
    EXPECT_FALSE(PopupVisible());

    // With the usual delays the pinned popup closes first and the new one opens after it.
    s.openDelay = 400;
    s.closeDelay = 300;
    VerseLink();
    Over();
    timers.Advance(400);
    control->Popup()->OnNonClientMouseMove();
    VerseLink("43003", "约3:16");
    Over();
    timers.Advance(300);
    EXPECT_FALSE(PopupVisible());
    timers.Advance(100);
    EXPECT_TRUE(PopupVisible());
    EXPECT_EQ(control->Popup()->closeTimer, 0);
}

TEST_F(ControlInteractionTest, RightClickHoldsHoverPopupsButNoPageUntilTheNextClick) {
    RenderState& s = state();
    VerseLink("01002", "创2:1");
    EXPECT_EQ(Click(2), kResultFalse);
    EXPECT_FALSE(s.busy);
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));

    // Hover popups wait (the context menu may be up), and nothing waits for the engine.
    VerseLink();
    Over();
    timers.Advance(400);
    EXPECT_FALSE(PopupVisible());
    EXPECT_TRUE(sleeps.empty());

    // The page the user asks for next shows, and back reaches only pages that were shown.
    control->openchahtm(u"43003", 0, u"");
    EXPECT_NE(Body().find("神爱世人"), std::string::npos);
    const HistoryList* list = s.events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list->Current().key), "43003");

    // A click on something that is not a link keeps the popups held.
    Element("P", "", "", "正文");
    Click();
    VerseLink();
    Over();
    timers.Advance(400);
    EXPECT_FALSE(PopupVisible());

    // The next left click on a link opens its page and lets the popups come again.
    VerseLink("01002", "创2:1");
    host.eventCancelled = false;
    EXPECT_EQ(Click(), kResultOk);
    EXPECT_FALSE(s.busy);
    EXPECT_NE(Body().find("天地万物"), std::string::npos);
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_EQ(host.scripts.back(), u"fix()");
    VerseLink();
    Over();
    timers.Advance(400);
    EXPECT_TRUE(PopupVisible());
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(ControlInteractionTest, BackAndForwardWalkTheHistoryAndStopAtItsEnds) {
    VerseLink("01001", "创1:1");
    Click();
    VerseLink("01002", "创2:1");
    Click();
    const HistoryList* list = state().events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Entries().size(), 2u);  // the blank first entry was reused

    Element("A", "bar", "bk", "后退");
    host.ClearLog();
    Click();
    EXPECT_NE(Body().find("起初"), std::string::npos);
    EXPECT_EQ(list->CurrentIndex(), 0);
    EXPECT_EQ(host.Log().back(), "CancelEvent");
    EXPECT_EQ(host.scripts.back(), u"fix()");

    // Back on the first entry: nothing is opened or scrolled, "fix()" still runs.
    host.ClearLog();
    host.scripts.clear();
    Click();
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_FALSE(Logged("ScrollTo"));
    EXPECT_EQ(host.scripts, std::vector<std::u16string>{u"fix()"});
    EXPECT_TRUE(Logged("CancelEvent"));

    // Forward (any href but "bk") to the last entry, then once more: nothing opened.
    Element("A", "bar", "fw", "前进");
    Click();
    EXPECT_NE(Body().find("天地万物"), std::string::npos);
    EXPECT_EQ(list->CurrentIndex(), 1);
    host.ClearLog();
    host.scripts.clear();
    Click();
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_EQ(host.scripts, std::vector<std::u16string>{u"fix()"});

    // Clicking a page that is already in the list adds no entry; it becomes current.
    VerseLink("01001", "创1:1");
    Click();
    EXPECT_EQ(list->Entries().size(), 2u);
    EXPECT_EQ(list->CurrentIndex(), 0);
}

TEST_F(ControlInteractionTest, BackRestoresTheSavedScrollPosition) {
    // A whole-chapter link keeps the real scroll position of the page it leaves.
    Element("A", "", "01001", "创1章");
    Click();
    host.bodyScrollTop = 640;
    Element("A", "", "01002", "创2章");
    Click();
    Element("A", "bar", "bk", "后退");
    host.ClearLog();
    Click();
    int scrolls = 0;
    for (const std::string& line : host.Log()) scrolls += line == "ScrollTo 0 640" ? 1 : 0;
    EXPECT_EQ(scrolls, 2);

    // A verse link does not scroll back: opening it scrolls to its verse.
    VerseLink("43003", "约3:16");
    Click();
    host.bodyScrollTop = 100;
    VerseLink("01002", "创2:1");
    Click();
    Element("A", "bar", "bk", "后退");
    host.ClearLog();
    Click();
    EXPECT_FALSE(Logged("ScrollTo 0 100"));
}

TEST_F(ControlInteractionTest, LinksLeftToTheBrowserAndClicksThatDoNothing) {
    RenderState& s = state();
    // INPUT: nothing at all, not even a cancelled event.
    Element("INPUT", "", "", "");
    host.ClearLog();
    EXPECT_EQ(Click(), kResultOk);
    EXPECT_FALSE(host.eventCancelled);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_FALSE(Logged("RunScript"));

    // Links to web pages, mail and .htm files: the browser follows them (no cancel).
    for (const char* href : {"mailto:someone", "help.htm", "intro.html", "http://127.0.0.1/x"}) {
        Element("A", "", href, "链接");
        Click();
        EXPECT_FALSE(host.eventCancelled) << href;
        EXPECT_FALSE(s.busy) << href;
    }
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));

    // "BoSk" in the title, and elements without href (other than "fd" and "bk"): cancelled only.
    Element("A", "", "01001", "歌", "BoSk");
    Click();
    EXPECT_TRUE(host.eventCancelled);
    host.eventCancelled = false;
    Element("SPAN", "", "", "字");
    Click();
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_FALSE(Logged("RunScript"));
}

TEST_F(ControlInteractionTest, ModuleEntriesAndCalendarIdsOpenTheirPages) {
    ASSERT_TRUE(inst.WriteModule("hymns", std::vector<testing::ModuleRecord>{{"007", "奇异恩典\r\n"}}));
    Element("A", "007", "hymns", "第七首");
    Click();
    EXPECT_NE(Body().find("奇异恩典"), std::string::npos);
    const HistoryList* list = state().events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list->Current().key), "hymns#007");
    EXPECT_EQ(std::string(list->Current().position), "第七首");

    // An id in the calendar range with a title: the reading calendar of that date, no "fix()".
    host.scripts.clear();
    host.body.clear();
    Element("A", "120", "x", "5月", "2024-05-01");
    Click();
    EXPECT_FALSE(host.body.empty());
    EXPECT_TRUE(host.scripts.empty());
    EXPECT_TRUE(host.eventCancelled);
}

// Whether the system's simplified/traditional mapping is available here.
bool TraditionalMappingWorks() {
    std::string text = "爱";
    return platform::GbkToTraditional(text) && text != "爱";
}

TEST_F(ControlInteractionTest, LanguageLinkRewritesThePageInTraditionalCharactersAndBack) {
    // Without the system's mapping (Wine) the body keeps its characters; the rest holds.
    RenderState& s = state();
    s.linkControl = "<LC>";
    control->openchahtm(u"43003", 0, u"");
    ASSERT_NE(host.body.find(u"神爱世人"), std::u16string::npos);
    ASSERT_EQ(host.body.rfind(u"<LC>", 0), 0u);
    ASSERT_EQ(s.useGbk, 0);

    // The body comes back in traditional characters, without a second link control.
    GbString expected = FromWide(host.body, ConversionOptions{});
    ToTraditional(expected, ConversionOptions{});
    const std::u16string simplifiedBody = host.body;
    Element("A", "", "fanjian", "繁体");
    host.ClearLog();
    Click();
    EXPECT_EQ(s.useGbk, 1);
    EXPECT_EQ(Body(), expected.str());
    if (TraditionalMappingWorks()) {
        EXPECT_NE(host.body.find(u"神愛世人"), std::u16string::npos);
    }
    EXPECT_EQ(host.sourceInnerText, u"简体");
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_FALSE(Logged("RunScript"));
    std::string ini = platform::ReadWholeFile(inst.path() + "\\bible.ini").value_or("");
    EXPECT_NE(ini.find("USEGBK=1"), std::string::npos);

    // The path before the name does not matter, nor does the case; back to simplified.
    Element("A", "", "file:///C:/Corvex/FanJian", "简体");
    Click();
    EXPECT_EQ(s.useGbk, 0);
    EXPECT_EQ(host.body, simplifiedBody);
    EXPECT_EQ(host.sourceInnerText, u"繁体");
    ini = platform::ReadWholeFile(inst.path() + "\\bible.ini").value_or("");
    EXPECT_NE(ini.find("USEGBK=0"), std::string::npos);

    // A prefix of the name switches too; a longer name, or no href at all ("fd"), does not.
    Element("A", "", "fan", "繁体");
    Click();
    EXPECT_EQ(s.useGbk, 1);
    Element("A", "", "fan", "简体");
    Click();
    EXPECT_EQ(s.useGbk, 0);
    Element("A", "", "fanjianx", "繁体");
    Click();
    EXPECT_EQ(s.useGbk, 0);
    Element("A", "fd", "", "繁体");
    Click();
    EXPECT_EQ(s.useGbk, 0);
}

TEST_F(ControlInteractionTest, PlusAndMinusToggleTheReadingLayout) {
    RenderState& s = state();
    const GbList& words = s.cmpStr;
    // A chapter page (it carries a navigation word) in a reading layout: "+" brings the normal
    // layout (table 1 takes the line breaks with their indent out), the next "+" the compact one.
    host.body = W("<a>" + words[25].str() + "</a><br>　起初<br>　地是空虚");
    s.readModel = 1;
    host.ClearLog();
    EXPECT_EQ(Key('+'), kResultOk);
    EXPECT_EQ(s.readModel, 0);
    EXPECT_EQ(Body(), "<a>" + words[25].str() + "</a>起初地是空虚");
    EXPECT_TRUE(host.eventCancelled);
    host.eventCancelled = false;
    host.ClearLog();
    Key('-');
    EXPECT_EQ(s.readModel, 9999);
    EXPECT_TRUE(Logged("SetBodyInnerHtml"));
    EXPECT_TRUE(host.eventCancelled);

    // The page's link bar is read back with the body and written once, not once more per key.
    s.linkControl = "<lc>";
    host.body = W("<lc><a>" + words[25].str() + "</a><br>　起初");
    s.readModel = 1;
    Key('+');
    Key('-');
    EXPECT_EQ(Body().find("<lc>"), 0u);
    EXPECT_EQ(Body().find("<lc>", 1), std::string::npos);
    s.linkControl.Empty();

    // A study page with the prose mark: table 3 indents, table 2 takes the indent away again.
    const std::string prose = words[63].str() + "<td valign=top>经文";
    host.body = W(prose);
    s.readModel = 0;
    Key('+');
    EXPECT_EQ(s.readModel, 9999);
    EXPECT_EQ(Body(), words[63].str() + "<td valign=top>　　经文");
    Key('-');
    EXPECT_EQ(s.readModel, 0);
    EXPECT_EQ(Body(), prose);

    // A page marked as fixed keeps its layout; a page that is neither is only cancelled.
    host.body = W("<p>x</p>" + words[62].str() + words[25].str());
    host.ClearLog();
    host.eventCancelled = false;
    Key('+');
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_FALSE(host.eventCancelled);
    EXPECT_EQ(s.readModel, 0);
    host.body = u"<p>plain</p>";
    Key('+');
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_EQ(s.readModel, 0);
}

TEST_F(ControlInteractionTest, KeysAreOnlyCancelledWhileAPopupShows) {
    VerseLink();
    Over();
    timers.Advance(400);
    ASSERT_TRUE(PopupVisible());
    host.body = W("<a>" + state().cmpStr[25].str() + "</a>");
    host.ClearLog();
    host.eventCancelled = false;
    EXPECT_EQ(Key('+'), kResultFalse);
    EXPECT_EQ(Key('*'), kResultFalse);
    EXPECT_TRUE(host.eventCancelled);
    EXPECT_EQ(host.Log(), (Lines{"CancelEvent", "CancelEvent"}));
    EXPECT_EQ(state().extendNote, 2);

    // Once the popup has closed, the keys act again.
    control->MouseOut();
    timers.Advance(300);
    ASSERT_FALSE(PopupVisible());
    EXPECT_EQ(Key('*'), kResultOk);
    EXPECT_EQ(state().extendNote, 3);
}

}  // namespace
}  // namespace quillax
