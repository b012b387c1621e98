// The page and popup drivers against the fake host: page dispatch, scrolling and caption,
// popup kinds, placement by quadrant, and the popup window's fill and growth.
// Chinese narrow literals are GBK bytes at run time, u"" literals UTF-16.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/pages/pipeline.h"
#include "engine/testing/fake_host.h"
#include "module_fixture.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace quillax {
namespace {

using Lines = std::vector<std::string>;
using Records = std::vector<testing::ModuleRecord>;

constexpr const char* kFontKey = "Software\\Microsoft\\Internet Explorer\\International\\Scripts\\26";

// Points the registry at a store of the test's own (Linux) and puts the browser font size back
// at the end (Windows).
class FontSizeSetting {
public:
    explicit FontSizeSetting(const std::string& dir) {
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY",
                                      dir + platform::TemporaryDirectory().back() + "registry");
        saved_ = platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize");
        Set(std::nullopt);
    }
    ~FontSizeSetting() {
        if (saved_) {
            platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize",
                                          saved_->bytes.substr(0, saved_->bytes.find('\0')));
        } else {
            Set(std::nullopt);
        }
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }
    void Set(std::optional<std::string> value) {
        if (value) {
            platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize", *value);
        } else {
            platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kFontKey, "IEFontSize");
        }
    }

private:
    std::optional<std::string> savedStore_;
    std::optional<platform::RegistryValue> saved_;
};

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inst.SampleFound()) << "sample/cfg/bible.ini not found";
        RenderState& s = state();
        s.host.pageWindow = &host;
        s.host.popupWindow = &host.Popup();
        s.mainWindow = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x40));
        s.titlePrefix = "圣经 - ";
        s.charset = u"gb2312";
        s.linkControl = "<LC>";
        s.cssBgColors = GbList("#F00000,#F11111,#F22222,#F33333,#F44444,#FFFFEE", ",");
        s.tableWidths = GbList("width=64,width=76,width=88,width=104,width=124,width=tdw", ",");
        s.aboutText = "<p>about</p>";
        s.pageHeader = "<html><body><STYLE></STYLE>";
        s.maxPopupWidth = 600;
        s.songWidth = 20;
        s.extendNote = 2;
        s.scrollScript = u"scroll()";
        s.scriptText = u"init()";
        s.host.element.screenWidth = 1000;
        s.host.element.screenHeight = 800;
        host.hasStyleSheet = false;
        host.bodyOffsetHeight = 500;
        host.maxCharWidth = 16;

        ASSERT_TRUE(inst.WriteChapters({
            {"01001", "$1起初，神创造天地。\r\n$2地是空虚混沌，渊面黑暗。\r\n"},
            {"19023", "$1耶和华是我的牧者，我必不致缺乏。\r\n"},
            {"43003", "$1有一个法利赛人。\r\n$16神爱世人。\r\n"},
        }));
    }

    RenderState& state() { return inst.state(); }

    // The element under the mouse, as the event capture leaves it.
    void Hover(const char* tag, const char* id, const char* href, const char* text,
               const char* title = "") {
        EventElement& e = state().host.element;
        e.found = true;
        e.active = true;
        e.tagName = tag;
        e.id = id;
        e.href = href;
        e.innerText = text;
        e.title = title;
    }

    std::string Body() const { return FakeHost::Gbk(host.body); }
    std::string PopupBody() { return FakeHost::Gbk(host.Popup().body); }
    std::u16string Caption() { return host.captions[state().mainWindow]; }

    testing::ModuleInstallation inst;
    FakeHost host;
    FontSizeSetting font{inst.path()};
};

TEST_F(PipelineTest, OpenChapterWritesScrollsAndTitles) {
    host.anchors[u"5"] = {{u"A", 10}, {u"TD", 30}, {u"TR", 0}, {u"TABLE", 200}, {u"BODY", 0}};
    OpenPage(state(), "43003", 0, ":5");
    const Lines& log = host.Log();
    ASSERT_EQ(log.size(), 9u) << host.LogText();
    EXPECT_EQ(log[0], "SetBackgroundColor #FFFFEE");
    EXPECT_EQ(log[1], "BodyOffsetHeight");  // measured before the new body is set
    EXPECT_EQ(log[2], "SetCharset gb2312");
    EXPECT_EQ(log[4].rfind("SetBodyInnerHtml ", 0), 0u);
    EXPECT_EQ(log[5], "Focus");
    EXPECT_EQ(log[6], "AnchorOffsets 5");
    EXPECT_EQ(log[7], "ScrollTo 0 240");  // anchor + cell + the enclosing table
    EXPECT_EQ(log[8], "SetWindowCaption 圣经 - 约翰福音 3:5");

    const std::string body = Body();
    EXPECT_NE(body.find("神爱世人"), std::string::npos);
    EXPECT_EQ(body.find("$16"), std::string::npos);  // verse marks converted
    EXPECT_NE(body.find("<LC>"), std::string::npos);
    const std::string spacer = "<div style='height:380'></div>";
    ASSERT_GE(body.size(), spacer.size());
    EXPECT_EQ(body.substr(body.size() - spacer.size()), spacer);
    EXPECT_EQ(state().host.currentKey, "43003");
    EXPECT_FALSE(state().busy);
    EXPECT_FALSE(state().host.opening);

    // The chapter already shown: no rebuild, only scrolling and the caption. Without a
    // position the caption names the chapter; the offsetParent at 0 skips the table.
    host.ClearLog();
    host.anchors[u"16"] = {{u"A", 12}, {u"TD", 0}, {u"TABLE", 900}};
    OpenPage(state(), "43003", 0, "");
    EXPECT_EQ(host.Log(), (Lines{"SetWindowCaption 圣经 - 约翰福音 第3章"}));
    host.ClearLog();
    OpenPage(state(), "43003", 0, "16");
    EXPECT_EQ(host.Log(), (Lines{"AnchorOffsets 16", "ScrollTo 0 12", "SetWindowCaption 圣经 - 约翰福音 16"}));

    // A position after the word "this chapter": the verse after the word, shown as chapter:verse.
    host.ClearLog();
    OpenPage(state(), "43003", 0, "本章16");
    EXPECT_EQ(host.Log(), (Lines{"AnchorOffsets 16", "ScrollTo 0 12", "SetWindowCaption 圣经 - 约翰福音 3:16"}));

    // A psalm is counted in its own unit; a missing anchor does not scroll.
    host.ClearLog();
    OpenPage(state(), "19023", 0, "下一篇");
    EXPECT_EQ(Caption(), u"圣经 - 诗篇 第23篇");
    for (const std::string& line : host.Log()) EXPECT_NE(line.rfind("ScrollTo", 0), 0u) << line;
}

TEST_F(PipelineTest, OpenPageDispatchesAboutModuleAndAmberlyKeys) {
    OpenPage(state(), "0000000", 0, "");
    std::string body = Body();
    EXPECT_EQ(body.find("<div style="), std::string::npos);
    EXPECT_EQ(body.substr(body.size() - 12), "<p>about</p>");
    EXPECT_EQ(Caption(), u"圣经 - ");  // not a chapter: the prefix alone

    // A module link: the entry after "#" is read; a missing module leaves only the spacer.
    ASSERT_TRUE(inst.WriteModule("hymns", Records{{"007", "奇异恩典\r\n"}}));
    host.ClearLog();
    OpenPage(state(), "hymns#007", 0, "");
    body = Body();
    EXPECT_EQ(body.rfind("<LC>", 0), 0u);
    EXPECT_NE(body.find("奇异恩典"), std::string::npos);
    OpenPage(state(), "nomodule#001", 0, "");
    EXPECT_EQ(Body(), "<LC><div style='height:380'></div>");

    // A chapter opened again after a module page is shown again.
    OpenPage(state(), "43003", 0, "");
    OpenPage(state(), "hymns#007", 0, "");
    OpenPage(state(), "43003", 0, "");
    EXPECT_NE(Body().find("神爱世人"), std::string::npos);

    // The devotional of a plan day.
    ASSERT_TRUE(inst.WriteModule("sys\\amberly", Records{{"005", "清晨的灵修\r\n"}}));
    OpenPage(state(), "amberly#005", 0, "");
    EXPECT_NE(Body().find("清晨的灵修"), std::string::npos);
    EXPECT_EQ(state().host.currentKey, "amberly#005");

    // Pages of the browser and empty keys are not the engine's; a busy engine drops the request.
    host.ClearLog();
    OpenPage(state(), "help.htm", 0, "");
    OpenPage(state(), "", 0, "");
    state().busy = true;
    OpenPage(state(), "01001", 0, "");
    EXPECT_TRUE(state().busy);
    state().busy = false;
    state().host.opening = true;  // a page build is already under way
    OpenPage(state(), "01001", 0, "");
    EXPECT_FALSE(state().host.opening);
    EXPECT_TRUE(host.Log().empty()) << host.LogText();
}

TEST_F(PipelineTest, PlacePopupByQuadrant) {
    RenderState& s = state();
    struct Case { int x, y, quadrant, popupY; };
    // lineUnit = (3 * 0 - 8) / 2 + 16 = 12
    for (const Case& c : {Case{100, 100, 1, 112}, Case{900, 100, 2, 112}, Case{100, 700, 3, 676},
                          Case{900, 700, 4, 676}, Case{500, 100, 4, 76}, Case{100, 400, 4, 376}}) {
        host.cursorX = c.x;
        host.cursorY = c.y;
        s.host.titleNotTip = true;
        const PopupPlacement place = PlacePopup(s);
        EXPECT_EQ(place.quadrant, c.quadrant) << c.x << "," << c.y;
        EXPECT_EQ(place.y, c.popupY) << c.x << "," << c.y;
        EXPECT_EQ(place.x, 200);
        EXPECT_EQ(place.width, 600);
        EXPECT_EQ(place.lineUnit, 12);
    }

    // The IE font size enters the line unit, divided with truncation toward zero.
    font.Set("1");
    EXPECT_EQ(LineUnit(s), 14);  // (3 - 8) / 2 = -2
    font.Set("3");
    EXPECT_EQ(LineUnit(s), 16);
    font.Set("4");
    EXPECT_EQ(LineUnit(s), 18);

    // The wheel popup: songWidth line units wide, centred, below or above the cursor.
    s.host.titleNotTip = false;
    host.cursorX = 10;
    host.cursorY = 100;
    PopupPlacement wheel = PlacePopup(s);
    EXPECT_EQ(wheel.width, 360);
    EXPECT_EQ(wheel.x, 320);
    EXPECT_EQ(wheel.quadrant, 1);
    EXPECT_EQ(wheel.y, 118);
    host.cursorY = 401;
    wheel = PlacePopup(s);
    EXPECT_EQ(wheel.quadrant, 4);
    EXPECT_EQ(wheel.y, 377);
}

TEST_F(PipelineTest, ShowPopupFillsOnceWithScriptsAndGrowsWithinTheScreen) {
    RenderState& s = state();
    FakePopup& popup = host.Popup();
    s.host.popupKind = PopupBoldNote;
    PopupPlacement place;
    place.x = 200;
    place.y = 112;
    place.width = 600;
    place.quadrant = 1;
    popup.contentHeight = 300;
    ShowPopup(s, "<p>text</p>", place, false);
    EXPECT_EQ(host.Log(), (Lines{
        "popup.Create text",
        "popup.SetCharset gb2312",
        "popup.SetBodyInnerHtml <html><body><STYLE></STYLE><p>text</p></body></html>",
        "popup.SetBackgroundColor #F22222",
        "popup.Move 200 112 800 122 nopaint",
        "popup.ResetScrollAndMeasure",
        "popup.Move 200 112 800 420 repaint",
        "popup.ScrollTo 0 0",
        "popup.RunScript scroll()",
        "popup.RunScript init()",
        "popup.Show",
    }));
    EXPECT_EQ(popup.state, PopupState::Shown);
    EXPECT_TRUE(popup.visible);

    // The next fill hides the window first and runs no script; the bottom stops 40 px above
    // the screen's end.
    host.ClearLog();
    popup.contentHeight = 2000;
    ShowPopup(s, "<p>long</p>", place, false);
    EXPECT_EQ(host.Log().front(), "popup.Hide");
    EXPECT_EQ(popup.windowRect.bottom, 760);
    for (const std::string& line : host.Log()) EXPECT_EQ(line.find("RunScript"), std::string::npos);

    // Below the middle the popup grows upwards and never above y = 20.
    place.y = 676;
    place.quadrant = 3;
    popup.contentHeight = 300;
    ShowPopup(s, "<p>long</p>", place, false);
    EXPECT_EQ(popup.windowRect.top, 366);
    EXPECT_EQ(popup.windowRect.bottom, 686);
    place.quadrant = 4;
    popup.contentHeight = 650;  // bottom - height = 36: the top would be 16
    ShowPopup(s, "<p>long</p>", place, false);
    EXPECT_EQ(popup.windowRect.top, 20);
    popup.contentHeight = 5;  // fits: no second move
    host.ClearLog();
    ShowPopup(s, "<p>long</p>", place, false);
    const Lines log = host.Log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("popup.Move", 0) == 0; }), 1);
}

TEST_F(PipelineTest, PicturePopupFromTheTableOfItsGroup) {
    ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\bible.ini",
                                         "[config]\r\nTU01=0102=100,100;0103=320,240;\r\n"));
    Hover("A", "", "tu0103", "图");
    host.cursorX = 100;
    host.cursorY = 100;
    ShowHoverPopup(state());
    const std::string image = "<img src=" + std::string(state().installDir.str()) +
                              "pic\\tu0103.jpg width=320height=240 border=0>";
    EXPECT_EQ(PopupBody(), "<html><body><STYLE></STYLE>" + image + "</body></html>");
    EXPECT_TRUE(host.Popup().createdForPicture);
    PopupRect r = host.Popup().windowRect;
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{110, 110, 430, 359}));
    for (const std::string& line : host.Log()) {
        EXPECT_EQ(line.find("SetBackgroundColor"), std::string::npos);
        EXPECT_EQ(line.find("ResetScrollAndMeasure"), std::string::npos);
    }

    // In the lower right quarter the picture opens left of and above the cursor.
    host.cursorX = 900;
    host.cursorY = 700;
    ShowHoverPopup(state());
    r = host.Popup().windowRect;
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}), (std::vector<int>{570, 441, 890, 690}));

    // A code missing from the table shows nothing.
    host.ClearLog();
    Hover("A", "", "tu0199", "图");
    ShowHoverPopup(state());
    for (const std::string& line : host.Log()) EXPECT_NE(line.rfind("popup.", 0), 0u) << line;
    EXPECT_FALSE(state().busy);
}

TEST_F(PipelineTest, HoverPopupKinds) {
    RenderState& s = state();
    host.cursorX = 100;
    host.cursorY = 100;
    auto shown = [&]() {
        const bool was = host.Popup().visible;
        host.Popup().visible = false;
        return was;
    };

    // A verse link shows the verses its text names, whatever the path before the key.
    Hover("A", "", "file:///C:/anything/01001", "创1:1");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupVerse);
    EXPECT_NE(PopupBody().find("起初"), std::string::npos);
    EXPECT_EQ(FakeHost::Gbk(host.Popup().bgColor), "#F00000");

    // Navigation links get no popup; nor does anything while popups are off.
    Hover("A", "", "01002", "下一章");
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    Hover("A", "", "01002", "");
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    s.extendNote = 0;
    Hover("A", "", "01001", "创1:1");
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    s.extendNote = 2;

    // A link to another module shows the entry named by the link text.
    ASSERT_TRUE(inst.WriteModule("hymns", Records{{"007", "奇异恩典\r\n"}}));
    Hover("A", "", "HYMNS", "007");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupModuleEntry);
    EXPECT_NE(PopupBody().find("奇异恩典"), std::string::npos);

    // A study note: the table width template takes the width of the IE font size.
    ASSERT_TRUE(inst.WriteModule("sys\\zendri", Records{{"012", "<table width=tdw>注</table>\r\n"}}));
    font.Set("2");
    s.host.popupKind = PopupBoldNote;
    Hover("A", "012", "zendri", "注");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupBoldNote);  // keeps its kind
    EXPECT_NE(PopupBody().find("<table width=88>"), std::string::npos);
    font.Set(std::nullopt);

    // Footnote marks: nothing at popup level 1; at level 2 the references of the note.
    Hover("SUP", "(创1:1)", "", "1");
    s.extendNote = 1;
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    s.extendNote = 2;
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupVerse);
    EXPECT_NE(PopupBody().find("起初"), std::string::npos);

    // Marked phrases: bold and underline notes; "S" never gets a note popup.
    Hover("B", "", "", "亚伯拉罕");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupBoldNote);
    Hover("U", "", "", "亚伯拉罕");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_EQ(s.host.popupKind, PopupUnderlineNote);
    s.host.popupKind = PopupVerse;
    Hover("S", "", "", "亚伯拉罕");
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    EXPECT_EQ(s.host.popupKind, PopupVerse);

    // A link without href: its title is the wheel popup's when it carries the tip word, which
    // plays the song; any other title shows nothing.
    int songs = 0;
    s.host.playWheelSong = [&songs]() { ++songs; };
    Hover("A", "", "", "说明", "说明");
    ShowHoverPopup(s);
    EXPECT_FALSE(shown());
    EXPECT_TRUE(s.host.titleNotTip);
    Hover("A", "", "", "5月1日", "日程2024-05-01");
    ShowHoverPopup(s);
    EXPECT_TRUE(shown());
    EXPECT_FALSE(s.host.titleNotTip);
    EXPECT_EQ(s.host.popupKind, PopupWheel);
    EXPECT_EQ(songs, 1);
    EXPECT_FALSE(s.busy);
}

TEST_F(PipelineTest, FinishPopupTidiesTheTextAndDropsEmptyResults) {
    RenderState& s = state();
    s.host.titleNotTip = true;
    FinishPopup(s, "");
    FinishPopup(s, "没有找到休息日");  // ends with the rest-day word cmpStr[23]
    EXPECT_TRUE(host.Log().empty()) << host.LogText();

    FinishPopup(s, "<br>abc<hr><br>x-<br>y<big>z</big><br></small><br>)");
    EXPECT_EQ(PopupBody(),
              "<html><body><STYLE></STYLE>abc<br>x-y<br><big>z</big></small>)</body></html>");

    // A five-byte text is a text like any other.
    FinishPopup(s, "12345");
    EXPECT_NE(PopupBody().find("12345"), std::string::npos);
}

TEST_F(PipelineTest, TraditionalPopupKeepsTheFontName) {
    RenderState& s = state();
    s.useGbk = 1;
    ShowPopup(s, "幼圓幼圓幼圓幼圓幼圓", PopupPlacement{}, true);
    EXPECT_EQ(host.Popup().body.substr(27, 10), u"幼圆幼圆幼圆幼圆幼圓");
}

TEST_F(PipelineTest, DocumentOperationsWithoutAWindowDoNothing) {
    RenderState& s = state();
    host.url = u"file:///C:/Corvex/cfg/tu01.htm";
    EXPECT_EQ(DocumentUrl(s), "file:///C:/Corvex/cfg/tu01.htm");
    EXPECT_EQ(BodyHeight(s), 500);
    CancelEvent(s);
    EXPECT_TRUE(host.eventCancelled);

    s.host.pageWindow = nullptr;
    s.host.popupWindow = nullptr;
    host.ClearLog();
    OpenPage(s, "01001", 0, "1");
    ScrollToAnchor(s, "1");
    SetPageBackground(s, "#FFFFFF");
    CancelEvent(s);
    ShowPopup(s, "<p>x</p>", PopupPlacement{}, false);
    EXPECT_EQ(DocumentUrl(s), "");
    EXPECT_EQ(BodyHeight(s), 0);
    EXPECT_TRUE(host.Log().empty());
    EXPECT_FALSE(s.busy);
}

}  // namespace
}  // namespace quillax
