#include "engine/popup/popup_window.h"

namespace quillax {

PopupWindow::PopupWindow(RenderState& engine, PopupSurface& surface, PopupFrame& frame)
    : engine_(engine), surface_(surface), frame_(frame) {}

bool PopupWindow::Created() const { return surface_.Created(); }

void PopupWindow::Create(bool picture) {
    surface_.Create(picture);
    pictureMode = picture;
    firstFill = true;
    visible_ = false;
}

void PopupWindow::Hide() {
    const bool wasVisible = visible_;
    surface_.Hide();
    visible_ = false;
    // Only a window that was visible gets the show-window message that announces the hide.
    if (wasVisible) OnHidden();
}

void PopupWindow::Show() {
    surface_.Show();
    visible_ = true;
}

void PopupWindow::Move(const PopupRect& r, bool repaint) { surface_.Move(r, repaint); }

void PopupWindow::SetCharset(const std::u16string& charset) { surface_.SetCharset(charset); }

void PopupWindow::SetBodyInnerHtml(const std::u16string& html) { surface_.SetBodyInnerHtml(html); }

void PopupWindow::SetBackgroundColor(const std::u16string& color) {
    surface_.SetBackgroundColor(color);
}

int PopupWindow::ResetScrollAndMeasure() { return surface_.ResetScrollAndMeasure(); }

void PopupWindow::ScrollTo(int x, int y) { surface_.ScrollTo(x, y); }

void PopupWindow::RunScript(const std::u16string& code) { surface_.RunScript(code); }

void PopupWindow::OnNonClientMouseMove() {
    if (pictureMode || state != PopupState::Shown) return;
    PopupStyleMemory& memory = engine_.events.popupStyle;
    const std::uint32_t style = frame_.Style();
    if (!memory.remembered) {
        const int clientBefore = frame_.ClientHeight();
        frame_.SetStyle(style | kPinnedStyleBits);
        memory.captionHeight = clientBefore - frame_.ClientHeight();
        memory.originalStyle = style;
        memory.enlargedStyle = style | kPinnedStyleBits;
        memory.remembered = true;
    } else {
        frame_.SetStyle(style | kPinnedStyleBits);
    }
    // The caption takes its height from the client area: the top edge moves up by as much, so
    // the text stays where the user sees it.
    PopupRect moved = frame_.WindowRect();
    moved.top -= memory.captionHeight;
    surface_.Move(moved, true);

    if (closeTimer > 0 && engine_.events.timers != nullptr) engine_.events.timers->KillTimer(closeTimer);
    closeTimer = -1;
    state = PopupState::Pinned;
}

void PopupWindow::OnClose() {
    Hide();
    state = PopupState::Hidden;
}

void PopupWindow::OnHidden() {
    visible_ = false;
    const PopupStyleMemory& memory = engine_.events.popupStyle;
    if (memory.remembered) {
        frame_.SetStyle(memory.originalStyle);
        surface_.Move(rect, false);
    }
    if (engine_.host.stopSongOnHide && engine_.events.stopWheelSong) engine_.events.stopWheelSong();
}

void ClosePopupWindow(PopupSurface& popup) {
    if (auto* window = dynamic_cast<PopupWindow*>(&popup)) {
        window->OnClose();
        return;
    }
    popup.Hide();
    popup.state = PopupState::Hidden;
}

bool PopupShowing(const PopupSurface& popup) {
    if (const auto* window = dynamic_cast<const PopupWindow*>(&popup)) return window->Visible();
    return popup.state != PopupState::Hidden;
}

}  // namespace quillax
