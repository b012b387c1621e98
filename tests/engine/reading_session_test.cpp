// A reader's session on the fake host, call by call as the host page makes the calls, and what
// the page then shows or the installation keeps: keys after a hover popup, auto-scroll and the
// popup level, right clicks, coming back to a chapter after other pages, the search words in
// bible.ini, study-note pages, links added to a page the browser gives back, and chapters the
// installation lacks.
#include <gtest/gtest.h>

#include <string>

#include "control_fixture.h"
#include "platform/registry.h"

namespace quillax {
namespace {

using testing::ControlTest;
using testing::W;

class ReadingSessionTest : public ControlTest {
protected:
    // The verse popup comes and goes: hover over a verse link, wait, leave, wait.
    void HoverAndLeave(int step = 0) {
        VerseLink();
        Over();
        Pass(state().openDelay, step);
        ASSERT_TRUE(PopupVisible());
        control->MouseOut();
        Pass(state().closeDelay, step);
        ASSERT_FALSE(PopupVisible());
    }

    // Time passes; with a step, the page moves by a pixel every step milliseconds (as it does
    // while auto-scroll runs and the page has room below).
    void Pass(int milliseconds, int step = 0) {
        if (step <= 0) {
            timers.Advance(milliseconds);
            return;
        }
        for (int done = 0; done < milliseconds; done += step) {
            ++host.bodyScrollTop;
            timers.Advance(step);
        }
    }

    int Count(const std::string& text, const std::string& word) {
        int count = 0;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
        return count;
    }

    std::string Ini() { return platform::ReadWholeFile(inst.path() + "\\bible.ini").value_or(""); }
};

TEST_F(ReadingSessionTest, LayoutKeysWorkAgainOnceAHoverPopupHasClosed) {
    RenderState& s = state();
    control->openchahtm(u"01001", 0, u"");
    HoverAndLeave();
    ASSERT_EQ(s.readModel, 0);

    // "+" switches the chapter to the compact layout and "-" back, as before any hover.
    host.ClearLog();
    host.eventCancelled = false;
    EXPECT_EQ(Key('+'), kResultOk);
    EXPECT_EQ(s.readModel, 9999);
    EXPECT_TRUE(Logged("SetBodyInnerHtml"));
    EXPECT_TRUE(host.eventCancelled);
    host.ClearLog();
    EXPECT_EQ(Key('-'), kResultOk);
    EXPECT_EQ(s.readModel, 0);
    EXPECT_TRUE(Logged("SetBodyInnerHtml"));

    // While the next popup is up, a key is only cancelled.
    VerseLink();
    Over();
    timers.Advance(s.openDelay);
    host.ClearLog();
    EXPECT_EQ(Key('+'), kResultFalse);
    EXPECT_EQ(s.readModel, 0);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
}

TEST_F(ReadingSessionTest, TheBlankStopsAutoScrollAfterAHover) {
    RenderState& s = state();
    control->openchahtm(u"43003", 0, u"");
    Key(' ');
    ASSERT_NE(s.host.scrollTimer, 0);
    HoverAndLeave(s.scrollSpeed);
    ASSERT_NE(s.host.scrollTimer, 0);  // still scrolling: the page has not ended

    host.ClearLog();
    EXPECT_EQ(Key(' '), kResultOk);
    EXPECT_EQ(s.host.scrollTimer, 0);
    EXPECT_EQ(timers.Pending(), 0);
    Pass(1000, s.scrollSpeed);
    EXPECT_FALSE(Logged("ScrollBy"));
}

TEST_F(ReadingSessionTest, NotesCanBeTurnedOffAndOnAgainAfterAHover) {
    RenderState& s = state();
    ASSERT_EQ(s.extendNote, 2);
    HoverAndLeave();

    // Ctrl + line feed twice: level 3, then 0, where no link gets a popup.
    Key(10, true);
    Key(10, true);
    EXPECT_EQ(s.extendNote, 0);
    VerseLink();
    Over();
    timers.Advance(s.openDelay);
    EXPECT_FALSE(PopupVisible());

    // "/" brings the notes back, and with them the popups; "*" the references in notes too.
    EXPECT_EQ(Key('/'), kResultOk);
    EXPECT_EQ(s.extendNote, 2);
    HoverAndLeave();
    EXPECT_EQ(Key('*'), kResultOk);
    EXPECT_EQ(s.extendNote, 3);
}

TEST_F(ReadingSessionTest, APageThatIsNeverShownGetsNoHistoryEntry) {
    RenderState& s = state();
    control->openchahtm(u"01001", 0, u"");
    const HistoryList* list = s.events.history.Find(&host);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Entries().size(), 1u);

    // Another page build still runs when the host asks for the next page and for a day page:
    // the waits give up, the pages are not drawn, and neither gets an entry.
    s.busy = true;
    host.ClearLog();
    control->openchahtm(u"43003", 0, u"");
    control->GetWheel(u"1");
    EXPECT_EQ(sleeps.size(), 40u);
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_EQ(list->Entries().size(), 1u);
    s.busy = false;

    // Back from the next page reaches the one that was shown.
    control->openchahtm(u"01002", 0, u"");
    ASSERT_EQ(list->Entries().size(), 2u);
    Element("A", "bar", "bk", "后退");
    Click();
    EXPECT_NE(Body().find("起初"), std::string::npos);
}

TEST_F(ReadingSessionTest, TheChapterShowsAgainAfterTheCalendarAPictureOrASearch) {
    const auto reopen = [this](const char* what) {
        ASSERT_EQ(Body().find("神爱世人"), std::string::npos) << what;
        control->openchahtm(u"43003", 0, u"");
        EXPECT_NE(Body().find("神爱世人"), std::string::npos) << what;
    };
    control->openchahtm(u"43003", 0, u"");
    control->GetWheel(u"H2024-05-01");
    reopen("calendar");
    control->linkmap(u"0111");
    reopen("picture page");
    control->SearchWord(u"恩典", u"", 0, &host);
    reopen("search results");

    // The layout toggle rewrites the same page: opening it again only scrolls.
    Key('+');
    host.ClearLog();
    control->openchahtm(u"43003", 0, u"16");
    EXPECT_FALSE(Logged("SetBodyInnerHtml"));
    EXPECT_TRUE(Logged("AnchorOffsets 16"));
}

TEST_F(ReadingSessionTest, ASearchKeepsTheHitLimitWrittenBeforeIt) {
    // bible.ini with the hit limit on the line before the search words.
    std::string ini = Ini();
    const std::size_t limitAt = ini.find("MAXSEARCH=");
    ASSERT_NE(limitAt, std::string::npos);
    const std::size_t limitEnd = ini.find("\r\n", limitAt) + 2;
    const std::string limitLine = ini.substr(limitAt, limitEnd - limitAt);
    ini.erase(limitAt, limitEnd - limitAt);
    ini.insert(ini.find("\r\nSEARCH=") + 2, limitLine);
    ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\bible.ini", ini));
    RenderState& s = state();
    s.configText = ReadConfigFile(inst.path() + "\\bible.ini");
    LoadSettings(s);
    ASSERT_EQ(s.maxSearch, 500);
    ASSERT_EQ(s.lastSearch, "恩典");

    control->SearchWord(u"平安", u"", 0, &host);
    const std::string after = Ini();
    EXPECT_NE(after.find(limitLine + "SEARCH=平安\r\n"), std::string::npos);
    EXPECT_EQ(s.maxSearch, 500);
    EXPECT_EQ(s.lastSearch, "平安");
    std::u16string value;
    control->getcfg(u"MAXSEARCH=", &value);
    EXPECT_EQ(value, u"500");
}

TEST_F(ReadingSessionTest, AStudyNoteLinkGetsTheTableWidthOfTheFontSize) {
    ASSERT_TRUE(inst.WriteModule("sys\\zendri",
                                 std::vector<testing::ModuleRecord>{{"005", "<table width=tdw><tr><td>注释\r\n"}}));
    control->openchahtm(u"zendri#005", 0, u"");
    EXPECT_NE(Body().find("<table width=64>"), std::string::npos) << Body();
    EXPECT_EQ(Body().find("tdw"), std::string::npos);

    // The browser's text size two steps up.
    ASSERT_TRUE(platform::WriteRegistryString(
        platform::RegistryRoot::CurrentUser,
        "Software\\Microsoft\\Internet Explorer\\International\\Scripts\\26", "IEFontSize", "2"));
    control->openchahtm(u"01001", 0, u"");
    control->openchahtm(u"zendri#005", 0, u"");
    EXPECT_NE(Body().find("<table width=88>"), std::string::npos) << Body();
}

TEST_F(ReadingSessionTest, AddedLinksAreNeverNestedWhateverCaseTheBrowserWritesTagsIn) {
    // A page the browser gives back with a reference already linked, a verse name inside a
    // parenthesis and one reference still plain: in lower case (this host's browser) and in
    // upper case (the Windows control).
    for (const bool upper : {false, true}) {
        const std::string a = upper ? "A" : "a";
        host.body = W("<p>见(<" + a + " href=\"40003\">太3:2</" + a + ">)与(<" + a + " name=\"5\"></" + a +
                      ">约3:16)。</p>");
        control->put_Changed(0);
        control->AddBibleLink();
        EXPECT_EQ(Body(), "<p>见(<a href=40003>太3:2</a>)与(<" + a + " name=\"5\"></" + a +
                              "><a href=43003>约3:16</a>)。</p>")
            << upper;
    }
}

TEST_F(ReadingSessionTest, AddBibleLinkNeverAddsASecondLinkBar) {
    RenderState& s = state();
    s.linkControl = ReadConfigValue(s.configText, "LINKCTRL=");
    ASSERT_NE(s.linkControl.Find("<div class=linkctrl>"), -1);
    control->openchahtm(u"43003", 0, u"");
    ASSERT_EQ(Count(Body(), "后退"), 1);

    // The body as this host's browser gives it back (attributes quoted), then as the Windows
    // control does (tags in capitals, a line break first, links made absolute).
    std::string chromium = Body();
    chromium.replace(chromium.find("class=linkctrl"), 14, "class=\"linkctrl\"");
    for (std::size_t at = chromium.find("id=bar href="); at != std::string::npos;
         at = chromium.find("id=bar href=", at)) {
        chromium.replace(at, 14, "id=\"bar\" href=\"" + chromium.substr(at + 12, 2) + "\"");
    }
    std::string windows = "\r\n<DIV class=linkctrl><A id=bar href=\"about:blankbk\">后退</A>　"
                          "<A id=bar href=\"about:blankfd\">前进</A></DIV>" +
                          Body().substr(Body().find("</div>") + 6);
    for (const std::string& returned : {chromium, windows}) {
        host.body = W(returned);
        control->put_Changed(0);
        control->AddBibleLink();
        EXPECT_EQ(Count(Body(), "后退"), 1) << Body().substr(0, 200);
        EXPECT_NE(Body().find("神爱世人"), std::string::npos);
    }

    // A body the host wrote itself, without a bar, still gets one.
    host.body = u"<p>(约3:16)</p>";
    control->put_Changed(0);
    control->AddBibleLink();
    EXPECT_EQ(Body(), s.linkControl.str() + "<p>(<a href=43003>约3:16</a>)</p>");
}

TEST_F(ReadingSessionTest, AChapterTheInstallationLacksShowsTheMissingPassageNotice) {
    control->openchahtm(u"02001", 0, u"");
    const std::string body = Body();
    const std::string notice = state().cmpStr[5].str();
    ASSERT_EQ(notice, "（此处经文暂缺）");
    const std::size_t at = body.find(notice);
    ASSERT_NE(at, std::string::npos) << body;
    // Between the two navigation bars of Exodus 1, once.
    EXPECT_EQ(Count(body.substr(0, at), "<strong>出埃及记</strong>"), 1);
    EXPECT_EQ(Count(body.substr(at), "<strong>出埃及记</strong>"), 1);
    EXPECT_EQ(Count(body, notice), 1);
}

}  // namespace
}  // namespace quillax
