// The popup window's own behaviour: pinning on a mouse move over its frame (caption height
// measured once per process, close timer killed), the close message, the style and rectangle
// restored on hiding, the song stopped after a "BoSk" element, and the wheel song itself.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/testing/manual_timer_service.h"
#include "engine/pages/pipeline.h"
#include "engine/popup/wheel_song.h"
#include "engine/testing/fake_host.h"
#include "engine/testing/fake_popup_window.h"
#include "module_fixture.h"
#include "platform/files.h"
#include "support/midi_song.h"

namespace quillax {
namespace {

using Lines = std::vector<std::string>;

class PopupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        RenderState& s = state();
        s.events.timers = &timers;
        s.events.stopWheelSong = [this]() { ++songStops; };
        s.charset = u"gb2312";
        s.cssBgColors = GbList("#F00000,#F11111", ",");
        s.host.popupWindow = &window;
        s.host.element.screenHeight = 800;
    }

    RenderState& state() { return inst.state(); }

    // Fills the window through the pipeline as a text popup at (100, 200), 600 wide, with
    // content 300 high, growing downward.
    void ShowText() {
        host.Popup().contentHeight = 300;
        ShowPopup(state(), "<p>x</p>", TextPlace(), false);
    }

    // A text popup at (100, 200), 600 wide, in the upper left quadrant.
    static PopupPlacement TextPlace() {
        PopupPlacement place;
        place.x = 100;
        place.y = 200;
        place.width = 600;
        place.quadrant = 1;
        return place;
    }

    testing::ModuleInstallation inst;
    FakeHost host;
    ManualTimerService timers;
    FakePopupWindow window{inst.state(), host};
    int songStops = 0;
};

TEST_F(PopupWindowTest, AMouseMoveOverTheFramePinsATextPopupOnce) {
    ShowText();
    ASSERT_EQ(window.state, PopupState::Shown);
    ASSERT_TRUE(window.Visible());
    EXPECT_EQ(window.rect.bottom, 508);  // grown to the content: 200 + 300 + 8
    bool closed = false;
    window.closeTimer = timers.SetTimer(300, [&](int) { closed = true; });

    host.ClearLog();
    window.OnNonClientMouseMove();
    // The caption takes 19 px of the client area: the top edge moves up by as much.
    EXPECT_EQ(host.Log(), (Lines{"popup.SetStyle 0x80EA0000", "popup.Move 100 181 700 508 repaint"}));
    EXPECT_EQ(window.state, PopupState::Pinned);
    EXPECT_EQ(window.closeTimer, -1);
    EXPECT_EQ(timers.Pending(), 0);
    timers.Advance(1000);
    EXPECT_FALSE(closed);
    const PopupStyleMemory& memory = state().events.popupStyle;
    EXPECT_TRUE(memory.remembered);
    EXPECT_EQ(memory.originalStyle, FakePopupFrame::kTextPopupStyle);
    EXPECT_EQ(memory.enlargedStyle, 0x80EA0000u);
    EXPECT_EQ(memory.captionHeight, 19);

    // A pinned popup ignores further moves.
    host.ClearLog();
    window.OnNonClientMouseMove();
    EXPECT_TRUE(host.Log().empty());

    // The close message hides it; hiding restores the style and the rectangle of the fill.
    window.OnClose();
    EXPECT_EQ(host.Log(), (Lines{"popup.Hide", "popup.SetStyle 0x80A80000", "popup.Move 100 200 700 508 nopaint"}));
    EXPECT_EQ(window.state, PopupState::Hidden);
    EXPECT_FALSE(host.Popup().visible);
    EXPECT_EQ(songStops, 0);

    // A hidden window is not pinned; a second close finds nothing to restore.
    host.ClearLog();
    window.OnNonClientMouseMove();
    window.OnClose();
    EXPECT_EQ(host.Log(), (Lines{"popup.Hide"}));
}

TEST_F(PopupWindowTest, TheCaptionHeightIsMeasuredOncePerProcess) {
    ShowText();
    window.OnNonClientMouseMove();
    window.OnClose();

    // Another window of the same process with a taller caption moves by the height measured
    // first, and takes the caption bits onto its own style.
    FakeHost otherHost;
    FakePopupWindow other(state(), otherHost);
    other.frame.captionHeight = 30;
    other.frame.style = 0x80A00000;
    state().host.popupWindow = &other;
    otherHost.Popup().contentHeight = 300;
    ShowPopup(state(), "<p>y</p>", TextPlace(), false);
    otherHost.ClearLog();
    other.OnNonClientMouseMove();
    EXPECT_EQ(otherHost.Log(), (Lines{"popup.SetStyle 0x80E20000", "popup.Move 100 181 700 508 repaint"}));
    EXPECT_EQ(state().events.popupStyle.originalStyle, FakePopupFrame::kTextPopupStyle);
}

TEST_F(PopupWindowTest, PicturePopupsAreNeverPinned) {
    RenderState& s = state();
    PopupPlacement place;
    place.x = 10;
    place.y = 10;
    place.width = 320;
    place.height = 249;
    ShowPopup(s, "<img>", place, true);
    ASSERT_TRUE(window.pictureMode);
    host.ClearLog();
    window.OnNonClientMouseMove();
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ(window.state, PopupState::Shown);
}

TEST_F(PopupWindowTest, HidingStopsTheSongOnlyAfterABoSkElement) {
    ShowText();
    state().host.stopSongOnHide = true;
    window.OnClose();
    EXPECT_EQ(songStops, 1);

    // The hide before a refill stops it as well while the flag stands; a window that is not
    // visible gets no hide handling.
    ShowText();
    EXPECT_EQ(songStops, 1);  // was hidden already
    ShowText();
    EXPECT_EQ(songStops, 2);
    state().host.stopSongOnHide = false;
    window.OnClose();
    EXPECT_EQ(songStops, 2);

    // The close message of the close-delay timer reaches any surface.
    FakeHost plain;
    plain.Popup().Create(false);
    plain.Popup().state = PopupState::Shown;
    ClosePopupWindow(plain.Popup());
    EXPECT_EQ(plain.Popup().state, PopupState::Hidden);
    EXPECT_EQ(plain.Log(), (Lines{"popup.Create text", "popup.Hide"}));
}

TEST_F(PopupWindowTest, TheWheelSongLoadsOnceAndPlaysLoopingFromTheStart) {
    using namespace quillax::testing;
    auto log = std::make_shared<FakeStreamLog>();
    WheelSong song(FakeOpener(log));
    song.Attach(state());

    // No song file: nothing plays, and it is tried again later.
    state().host.playWheelSong();
    EXPECT_FALSE(song.Loaded());
    EXPECT_EQ(log->opened, 0);

    const Bytes file = Cat({Header(0, 1, 96),
                            TrackChunk(TrackBody({{0, NoteOn(0, 60, 100)}, {96, NoteOn(0, 60, 0)}}))});
    ASSERT_TRUE(platform::WriteWholeFile(inst.path() + "\\0102.mid",
                                         std::string(file.begin(), file.end())));
    state().host.playWheelSong();
    ASSERT_TRUE(song.Loaded());
    ASSERT_NE(song.Player(), nullptr);
    EXPECT_TRUE(song.Player()->IsPlaying());
    EXPECT_EQ(log->restarts, 1);
    // The next wheel popup plays it again from the start, without reading the file again.
    ASSERT_TRUE(platform::RemoveFile(inst.path() + "\\0102.mid"));
    state().host.playWheelSong();
    EXPECT_TRUE(song.Player()->IsPlaying());
    EXPECT_EQ(log->restarts, 2);

    // Hiding after a "BoSk" element stops it.
    state().events.stopWheelSong();
    EXPECT_FALSE(song.Player()->IsPlaying());
    EXPECT_GE(log->stops, 1);
}

}  // namespace
}  // namespace quillax
