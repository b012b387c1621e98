// PopupSurface: the hover popup window as the engine drives it.
//
// The popup is a small top-most window that hosts an HTML document of its own. The engine
// creates it lazily, hides and shows it, moves it, fills its document and measures how tall the
// content is; the window messages (pinning on a non-client mouse move, close, restoring the
// style on hide) belong to the window itself. Implementations: the Windows control-host window,
// the development host's popup element, and FakeHost for tests.
//
// Texts the document receives are wide (UTF-16); colours are "#RRGGBB" texts as the
// configuration gives them. Operations on a document that cannot be obtained do nothing, and
// the window is still shown.
#pragma once

#include <string>

namespace quillax {

// A window rectangle in screen pixels.
struct PopupRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The popup's visibility: hidden, shown, or pinned by the user (a pinned popup closes only
// when the mouse enters another link).
enum class PopupState { Hidden = 0, Shown = 1, Pinned = 2 };

class PopupSurface {
public:
    virtual ~PopupSurface() = default;

    // ---- the window ------------------------------------------------------------------------------
    // Whether the window has been created.
    virtual bool Created() const = 0;
    // Creates the window, for a picture (no vertical scroll bar) or for text.
    virtual void Create(bool pictureMode) = 0;
    virtual void Hide() = 0;
    // Shows the window normally and gives it the keyboard focus.
    virtual void Show() = 0;
    virtual void Move(const PopupRect& rect, bool repaint) = 0;

    // ---- the hosted document -----------------------------------------------------------------
    // Sets the document's charset and its default charset.
    virtual void SetCharset(const std::u16string& charset) = 0;
    virtual void SetBodyInnerHtml(const std::u16string& html) = 0;
    // The document's bgColor.
    virtual void SetBackgroundColor(const std::u16string& color) = 0;
    // Sets the body's scrollTop to 0 and returns its scrollHeight (0 without a body).
    virtual int ResetScrollAndMeasure() = 0;
    // Scrolls the document's window.
    virtual void ScrollTo(int x, int y) = 0;
    // Runs a script in the document (execScript, default language).
    virtual void RunScript(const std::u16string& code) = 0;

    // ---- bookkeeping the engine keeps on the window ---------------------------------------------
    PopupState state = PopupState::Hidden;
    bool pictureMode = false;
    bool firstFill = true;   // the two scripts have not yet run in this window
    int closeTimer = 0;      // id of the pending close timer; -1 once pinned
    PopupRect rect;          // the rectangle of the last fill
};

}  // namespace quillax
