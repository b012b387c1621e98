// PopupWindow: the hover popup window's own behaviour, over the window of a host.
//
// The page pipeline (engine/pages/pipeline.h) fills and shows the popup through the
// PopupSurface operations; this class adds what the window does by itself when the user acts
// on it:
//  - a mouse move over its frame (the non-client area) pins a text popup: the window gets a
//    caption and a minimize box, its top edge moves up by the caption's height so the text
//    stays where it was, its pending close timer is killed and it stays open until the mouse
//    enters another link;
//  - the close message (sent by the close-delay timer) hides it; the window stays for reuse;
//  - whenever it is hidden, the style from before the first pinning and the rectangle of the
//    last fill come back, and the wheel song stops when the mouse left a "BoSk" element.
//
// The window itself is reached through two seams: the PopupSurface of the host (window and
// document operations) and a PopupFrame (the window style, the client height, the mouse
// capture). The bookkeeping fields of PopupSurface (state, closeTimer, rect ...) are this
// object's; those of the wrapped surface are not used.
#pragma once

#include <cstdint>
#include <string>

#include "engine/host/popup_surface.h"
#include "engine/state/render_state.h"

namespace quillax {

// Style bits added when the popup is pinned: a caption (WS_CAPTION) and a minimize box
// (WS_MINIMIZEBOX), in the values of the Windows window styles.
constexpr std::uint32_t kPinnedStyleBits = 0x00C20000;

// The window-manager side of the popup window.
class PopupFrame {
public:
    virtual ~PopupFrame() = default;
    // The window style, in the values of the Windows window styles.
    virtual std::uint32_t Style() = 0;
    // Sets the style and lets the frame follow it (the client area changes at once).
    virtual void SetStyle(std::uint32_t style) = 0;
    // Height of the client area, px.
    virtual int ClientHeight() = 0;
    // The window rectangle in screen pixels.
    virtual PopupRect WindowRect() = 0;
    // Whether the popup window holds the mouse capture.
    virtual bool HasMouseCapture() = 0;
};

class PopupWindow : public PopupSurface {
public:
    // surface and frame must outlive the window (a binding derives from PopupWindow and owns
    // them as members).
    PopupWindow(RenderState& engine, PopupSurface& surface, PopupFrame& frame);

    // ---- PopupSurface: handed to the host's window -------------------------------------------
    bool Created() const override;
    void Create(bool picture) override;
    // Hides the window; when it was visible, the hide handling follows (style and rectangle
    // restored, song stopped when stopSongOnHide is set).
    void Hide() override;
    void Show() override;
    void Move(const PopupRect& r, bool repaint) override;
    void SetCharset(const std::u16string& charset) override;
    void SetBodyInnerHtml(const std::u16string& html) override;
    void SetBackgroundColor(const std::u16string& color) override;
    int ResetScrollAndMeasure() override;
    void ScrollTo(int x, int y) override;
    void RunScript(const std::u16string& code) override;

    // ---- window messages -----------------------------------------------------------------------
    // A mouse move over the non-client area: pins a shown text popup (a pinned popup and a
    // picture popup ignore it).
    void OnNonClientMouseMove();
    // The close message: hides the window; state becomes Hidden.
    void OnClose();
    // The window was hidden by other means than Hide() (a binding calls this for a hide it did
    // not ask for; the hides of Hide() are handled there).
    void OnHidden();

    bool Visible() const { return visible_; }
    bool HasMouseCapture() { return frame_.HasMouseCapture(); }

private:
    RenderState& engine_;
    PopupSurface& surface_;
    PopupFrame& frame_;
    bool visible_ = false;
};

// Sends the close message to a popup: a PopupWindow handles it as OnClose; any other surface is
// hidden and marked Hidden the same way.
void ClosePopupWindow(PopupSurface& popup);

// Whether the popup is on the screen now: a PopupWindow that was shown and not hidden since;
// any other surface while it is not marked Hidden.
bool PopupShowing(const PopupSurface& popup);

}  // namespace quillax
