// The word search over the main text: hits, exclusions, highlighting, the hit limit, the
// summary and its time, the one-second guard, and hostile input. Chinese narrow literals are
// GBK bytes at run time, u"" literals UTF-16.
#include <gtest/gtest.h>

#include <string>

#include "engine/pages/pipeline.h"
#include "engine/search/word_search.h"
#include "platform/code_page.h"
#include "study_fixture.h"

namespace quillax {
namespace {

// A clock that moves on by `step` milliseconds every time it is read.
class FakeClock : public SearchClock {
public:
    long long NowMs() const override {
        const long long t = now;
        now += step;
        return t;
    }
    mutable long long now = 100000;
    long long step = 7;
};

const std::string kLinkControl =
    "<div class=linkctrl><a id=bar href=bk>后退</a>　<a id=bar href=fd>前进</a></div>";

class SearchTest : public testing::StudyTest {
protected:
    void SetUp() override {
        StudyTest::SetUp();
        WriteMainText(
            "01001=#1起初神创造天地。#2地是空虚混沌。#3神说：要有光，就有了光。#12天地万物。\n"
            "01002=#1天地万物都造齐了。#2到第七日，神造物的工已经完毕。\r\n"
            "19023=诗篇天地#1耶和华是我的牧者。#105天地之间\n"
            "66022=#21主耶稣的恩惠常与众圣徒同在。");
    }

    void WriteMainText(const std::string& text) {
        ASSERT_TRUE(platform::WriteWholeFile(dir / "sys\\corpa.txt", text));
    }

    // Runs a search as the host's search box does, a few seconds after the previous one.
    bool Search(const std::u16string& word, const std::u16string& exclusions = u"", long extend = 0) {
        clock.now += 5000;
        return SearchWords(state, word, exclusions, extend, &host, clock);
    }

    // The page written, without the LINKCTRL links in front.
    std::string Page() const {
        const std::string body = Body();
        EXPECT_EQ(body.substr(0, kLinkControl.size()), kLinkControl);
        return body.substr(std::min(body.size(), kLinkControl.size()));
    }

    FakeClock clock;
};

TEST_F(SearchTest, ListsEveryVerseThatHoldsTheWordOnce) {
    EXPECT_TRUE(Search(u"天地"));
    // "天地" in the record key line before the first verse does not count; verse 12 and the
    // three-digit verse 105 are read whole.
    EXPECT_EQ(Page(),
              "共有4节经文含“天地”，其中0节含排除词“ ”，列出4节（用时7毫秒）：<br>"
              "<a href=01001>创1:1</a>|<a href=01001>创1:12</a>|<a href=01002>创2:1</a>|"
              "<a href=19023>诗23:105</a>|");
    EXPECT_EQ(state.host.pageWindow, &host);
    EXPECT_EQ(state.host.changedFlags, kChangedLinksAdded | kChangedBodyWritten);

    // A word twice in one verse counts once; the last verse of a line runs to its end.
    EXPECT_TRUE(Search(u"光"));
    EXPECT_EQ(Page(),
              "共有1节经文含“光”，其中0节含排除词“ ”，列出1节（用时7毫秒）：<br>"
              "<a href=01001>创1:3</a>|");
    EXPECT_TRUE(Search(u"恩惠"));
    EXPECT_EQ(Page().substr(Page().find("<br>")), "<br><a href=66022>启22:21</a>|");
}

TEST_F(SearchTest, ExclusionsAndHighlightedVerseTexts) {
    EXPECT_TRUE(Search(u"天地", u"万物", 1));
    EXPECT_EQ(Page(),
              "共有4节经文含“天地”，其中2节含排除词“万物”，列出2节（用时7毫秒）：<br>"
              "<a href=01001>创1:1</a>|<s>1</s>起初神创造<font color=red>天地</font>。<br>\r\n"
              "<a href=19023>诗23:105</a>|<s>105</s><font color=red>天地</font>之间<br>\r\n");

    // Exclusion words are tried in turn and match the verse text with its number; an empty
    // item (a doubled or trailing comma) excludes nothing.
    EXPECT_TRUE(Search(u"天地", u"之间,,#1起初,"));
    EXPECT_EQ(Page(),
              "共有4节经文含“天地”，其中2节含排除词“之间,,#1起初,”，列出2节（用时7毫秒）：<br>"
              "<a href=01001>创1:12</a>|<a href=01002>创2:1</a>|");

    // Verse numbers: one, two or three digits by their value.
    WriteMainText("01003=#0天地#1234天地#07天地\n");
    EXPECT_TRUE(Search(u"天地", u"", 1));
    EXPECT_EQ(Page(),
              "共有3节经文含“天地”，其中0节含排除词“ ”，列出3节（用时7毫秒）：<br>"
              "<a href=01003>创3:0</a>|<s>0</s><font color=red>天地</font><br>\r\n"
              "<a href=01003>创3:123</a>|<s>123</s>4<font color=red>天地</font><br>\r\n"
              "<a href=01003>创3:7</a>|<s>0</s>7<font color=red>天地</font><br>\r\n");
}

TEST_F(SearchTest, TheHitLimitIsCheckedBeforeEachLine) {
    // "神" is in verses 1 and 3 of the first line and in verse 2 of the second.
    SetIni("MAXSEARCH=", "0");
    EXPECT_TRUE(Search(u"神"));
    EXPECT_EQ(Page().substr(0, 7), "共有2节");
    SetIni("MAXSEARCH=", "2");
    EXPECT_TRUE(Search(u"神"));
    EXPECT_EQ(Page(),
              "共有3节经文含“神”，其中0节含排除词“ ”，列出3节（用时7毫秒）：<br>"
              "<a href=01001>创1:1</a>|<a href=01001>创1:3</a>|<a href=01002>创2:2</a>|");
}

TEST_F(SearchTest, TheWordsAreRememberedExceptAnEmptySearch) {
    EXPECT_TRUE(Search(u"天地", u"万物"));
    std::string ini = Ini();
    EXPECT_NE(ini.find("SEARCH=天地\r\n"), std::string::npos);
    EXPECT_NE(ini.find("EXCLUSIVE=万物\r\n"), std::string::npos);
    EXPECT_EQ(state.lastSearch, "天地");

    // No exclusion words: a blank, stored as an empty value.
    EXPECT_TRUE(Search(u"光"));
    ini = Ini();
    EXPECT_NE(ini.find("SEARCH=光\r\n"), std::string::npos);
    EXPECT_NE(ini.find("EXCLUSIVE=\r\n"), std::string::npos);

    // An empty word: the vocabulary's request, and the configuration stays as it is.
    EXPECT_TRUE(Search(u"", u"万物"));
    EXPECT_EQ(Page(), "请输入要查找的字词。");
    EXPECT_EQ(Ini(), ini);

    // A busy engine refuses the writes; the search still runs.
    state.busy = true;
    EXPECT_TRUE(Search(u"天地"));
    EXPECT_EQ(Ini(), ini);
    EXPECT_EQ(Page().substr(0, 7), "共有4节");
}

TEST_F(SearchTest, ASecondSearchWithinOneSecondDoesNothing) {
    clock.step = 40;
    EXPECT_TRUE(Search(u"天地"));
    EXPECT_NE(Page().find("（用时40毫秒）"), std::string::npos);
    EXPECT_EQ(state.host.lastSearchTick, clock.now - clock.step);  // the end of the search
    const std::string ini = Ini();
    host.ClearLog();

    // 999 ms after the end: nothing, whatever the words.
    clock.now = state.host.lastSearchTick + 999;
    EXPECT_FALSE(SearchWords(state, u"光", u"", 0, &host, clock));
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ(Ini(), ini);

    // One second after it: the search runs.
    clock.now = state.host.lastSearchTick + 1000;
    EXPECT_TRUE(SearchWords(state, u"光", u"", 0, &host, clock));
    EXPECT_NE(Page().find("含“光”"), std::string::npos);
}

TEST_F(SearchTest, WindowsMissingFilesAndTheDisplaySetting) {
    // Without a window the search runs but writes nothing.
    HostWindow* before = state.host.pageWindow;
    EXPECT_TRUE(SearchWords(state, u"天地", u"", 0, nullptr, clock));
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ(state.host.pageWindow, before);
    EXPECT_NE(Ini().find("SEARCH=天地\r\n"), std::string::npos);

    // A missing main text gives the summary with zero counts.
    ASSERT_TRUE(platform::RemoveFile(dir / "sys\\corpa.txt"));
    EXPECT_TRUE(Search(u"天地"));
    EXPECT_EQ(Page(), "共有0节经文含“天地”，其中0节含排除词“ ”，列出0节（用时7毫秒）：<br>");

    // The time goes into the summary's placeholder even when the word reads "msec".
    EXPECT_TRUE(Search(u"msec"));
    EXPECT_EQ(Page(), "共有0节经文含“msec”，其中0节含排除词“ ”，列出0节（用时7毫秒）：<br>");

    // The display setting is kept: a search reads its words in simplified characters.
    state.useGbk = 1;
    EXPECT_TRUE(Search(u"天地"));
    EXPECT_EQ(state.useGbk, 1);
    std::string probe = GbString("說").str();
    if (platform::GbkToSimplified(probe) && probe == GbString("说").str()) {
        WriteMainText("01001=#3神说：要有光。\n");
        state.useGbk = 0;
        EXPECT_TRUE(Search(u"說"));
        EXPECT_EQ(Page().substr(0, 7), "共有1节");
        EXPECT_NE(Ini().find("SEARCH=说\r\n"), std::string::npos);
    }
}

TEST_F(SearchTest, HostileMainTextsAndWords) {
    std::string longLine = "01001=#1";
    for (int i = 0; i < 40000; ++i) longLine += "天地";
    WriteMainText(std::string("=\n99999=#\n#\n#abc天地\n天地=#1天地#\n") + longLine +
                  "\n\xB0\n" + std::string("#9\0天地\n", 8) + "=#1\xB0");
    for (const std::u16string& word : {std::u16string(u"天地"), std::u16string(u"#"),
                                       std::u16string(u"<s>"), std::u16string(u"="),
                                       std::u16string(1, u'\xD800'), std::u16string(u"\xB0")}) {
        EXPECT_TRUE(Search(word, u",,#,=", 1));
        EXPECT_EQ(Page().substr(0, 4), "共有");
    }
    // Every verse of the long line counts once.
    EXPECT_TRUE(Search(u"天地", u"", 0));
    EXPECT_NE(Page().find("<a href=01001>创1:1</a>|"), std::string::npos);
}

}  // namespace
}  // namespace quillax
