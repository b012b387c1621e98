#include "engine/testing/fake_popup_window.h"

#include <cstdio>

namespace quillax {

void FakePopupFrame::SetStyle(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    host_.Record("popup.SetStyle", {text});
    style = value;
}

int FakePopupFrame::ClientHeight() {
    const PopupRect r = host_.Popup().windowRect;
    const bool caption = (style & kCaptionBits) == kCaptionBits;
    const int height = r.bottom - r.top - borderHeight - (caption ? captionHeight : 0);
    return height > 0 ? height : 0;
}

}  // namespace quillax
