// FakePopupWindow: a PopupWindow over the popup of a FakeHost, for tests and the command-line
// host. Its frame keeps a window style and computes the client height from the window
// rectangle (minus the border, minus the caption while the style has one); style changes are
// recorded in the FakeHost's log as "popup.SetStyle 0x...".
#pragma once

#include <cstdint>
#include <memory>

#include "engine/popup/popup_window.h"
#include "engine/testing/fake_host.h"

namespace quillax {

class FakePopupFrame : public PopupFrame {
public:
    // WS_POPUP | WS_BORDER | WS_VSCROLL | WS_SYSMENU: the style of a text popup.
    static constexpr std::uint32_t kTextPopupStyle = 0x80A80000;
    static constexpr std::uint32_t kCaptionBits = 0x00C00000;

    explicit FakePopupFrame(FakeHost& host) : host_(host) {}

    std::uint32_t Style() override { return style; }
    void SetStyle(std::uint32_t value) override;
    int ClientHeight() override;
    PopupRect WindowRect() override { return host_.Popup().windowRect; }
    bool HasMouseCapture() override { return mouseCaptured; }

    std::uint32_t style = kTextPopupStyle;
    int captionHeight = 19;  // what a caption takes from the client area
    int borderHeight = 2;    // top and bottom border together
    bool mouseCaptured = false;

private:
    FakeHost& host_;
};

class FakePopupWindow : public PopupWindow {
public:
    FakePopupWindow(RenderState& engine, FakeHost& host)
        : PopupWindow(engine, host.Popup(), frame), frame(host) {}

    FakePopupFrame frame;
};

// A popup factory for Cqlx: each call makes a FakePopupWindow over host's popup.
inline std::unique_ptr<PopupWindow> MakeFakePopupWindow(RenderState& engine, FakeHost& host) {
    return std::make_unique<FakePopupWindow>(engine, host);
}

}  // namespace quillax
