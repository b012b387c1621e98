// What the configuration needs from the desktop: the screen width (popup width), the active
// window and its caption (the window title prefix) and a colour dialog (choosing a background
// colour). Each is a small interface so that the Windows build plugs in the real calls, the
// development host its own, and tests a fake.
#pragma once

#include <memory>

#include "textlib/gb_string.h"

namespace quillax {

// An opaque window handle: an HWND on Windows, null when there is no window.
using WindowHandle = void*;

class DesktopInfo {
public:
    virtual ~DesktopInfo() = default;
    // Width of the primary screen in pixels.
    virtual int ScreenWidth() const = 0;
    // The active window of this thread, or null.
    virtual WindowHandle ActiveWindow() const = 0;
    // The caption of a window (GBK); empty for a null window or one without a caption.
    virtual GbString WindowCaption(WindowHandle window) const = 0;
};

class ColorChooser {
public:
    virtual ~ColorChooser() = default;
    // Shows a colour dialog (with its full, custom-colour part open) that starts at rgb
    // (0xRRGGBB). True, with the chosen colour in rgb, when the user confirms; false, with rgb
    // unchanged, when the user cancels.
    virtual bool ChooseColor(WindowHandle owner, int& rgb) = 0;
};

// The stand-ins used until a platform binding provides the real ones: a screen 1024 pixels
// wide, no active window (so an empty caption), and a colour dialog that keeps the colour
// (as if the user confirmed it unchanged).
std::unique_ptr<DesktopInfo> MakeDefaultDesktopInfo();
std::unique_ptr<ColorChooser> MakeDefaultColorChooser();

}  // namespace quillax
