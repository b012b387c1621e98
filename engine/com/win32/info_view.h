// The popup window on Windows: a window of the class "InfoView", a superclass of the control
// host class "AtlAxWin" of the system's atl.dll (loaded when the first popup is made, its
// AtlAxWinInit registering "AtlAxWin"). Created with the window text "MSHTML:", the host makes
// an MSHTML document in it, which the popup fills through its object model by name.
//
// InfoViewPopup is the engine's PopupWindow (engine/popup/popup_window.h) over that window:
// its surface creates, shows, hides and moves the window and fills the document; its frame
// reads and sets the window style. The window procedure hands the three messages the popup
// handles itself to the PopupWindow: a non-client mouse move pins it, the close message hides
// it, and a hide the engine did not ask for restores its style.
#pragma once

#include <windows.h>

#include "engine/popup/popup_window.h"

namespace quillax::win32 {

class InfoViewSurface : public PopupSurface {
public:
    InfoViewSurface() = default;
    InfoViewSurface(const InfoViewSurface&) = delete;
    InfoViewSurface& operator=(const InfoViewSurface&) = delete;
    ~InfoViewSurface() override;

    bool Created() const override { return window_ != nullptr; }
    void Create(bool picture) override;
    void Hide() override;
    void Show() override;
    void Move(const PopupRect& to, bool repaint) override;
    void SetCharset(const std::u16string& charset) override;
    void SetBodyInnerHtml(const std::u16string& html) override;
    void SetBackgroundColor(const std::u16string& color) override;
    int ResetScrollAndMeasure() override;
    void ScrollTo(int x, int y) override;
    void RunScript(const std::u16string& code) override;

    HWND Window() const { return window_; }
    // True while Hide() hides the window (its show-window message is then no surprise).
    bool Hiding() const { return hiding_; }
    // The PopupWindow that gets the window's messages.
    void SetOwner(PopupWindow* owner) { owner_ = owner; }
    PopupWindow* Owner() const { return owner_; }

private:
    HWND window_ = nullptr;
    bool hiding_ = false;
    PopupWindow* owner_ = nullptr;
};

class InfoViewFrame : public PopupFrame {
public:
    explicit InfoViewFrame(const InfoViewSurface& surface) : surface_(surface) {}

    std::uint32_t Style() override;
    void SetStyle(std::uint32_t style) override;
    int ClientHeight() override;
    PopupRect WindowRect() override;
    bool HasMouseCapture() override;

private:
    const InfoViewSurface& surface_;
};

class InfoViewPopup : public PopupWindow {
public:
    explicit InfoViewPopup(RenderState& engine);

    InfoViewSurface surface;
    InfoViewFrame frame;
};

// Windows of the class now existing in the process (for checks that none is left behind).
int InfoViewWindowCount();
// Unregisters the class "InfoView" (no window of it may exist any more).
void UnregisterPopupWindowClass();
// Unregisters the class and lets atl.dll go.
void ReleasePopupWindowClass();

}  // namespace quillax::win32
