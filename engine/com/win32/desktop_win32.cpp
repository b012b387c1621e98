// The desktop services of the configuration on Windows (see desktop_win32.h).
#include "engine/com/win32/desktop_win32.h"

#include <windows.h>
#include <commdlg.h>

#include <string>

// commdlg.h maps ChooseColor to ChooseColorA; here it is the name of the engine's interface.
#undef ChooseColor

namespace quillax::win32 {
namespace {

class WindowsDesktop : public DesktopInfo {
public:
    int ScreenWidth() const override { return GetSystemMetrics(SM_CXSCREEN); }

    WindowHandle ActiveWindow() const override { return GetActiveWindow(); }

    GbString WindowCaption(WindowHandle window) const override {
        if (window == nullptr) return GbString();
        HWND handle = static_cast<HWND>(window);
        const int length = GetWindowTextLengthA(handle);
        if (length <= 0) return GbString();
        std::string caption(static_cast<std::size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(handle, caption.data(), length + 1);
        caption.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        return GbString(caption);
    }
};

class WindowsColorChooser : public ColorChooser {
public:
    bool ChooseColor(WindowHandle owner, int& rgb) override {
        // The dialog speaks COLORREF (0x00BBGGRR); the engine 0xRRGGBB.
        const auto toColorRef = [](int value) {
            return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
        };
        CHOOSECOLORA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = static_cast<HWND>(owner);
        dialog.rgbResult = toColorRef(rgb);
        dialog.lpCustColors = customColors_;
        dialog.Flags = CC_FULLOPEN | CC_RGBINIT;
        if (!ChooseColorA(&dialog)) return false;
        const COLORREF chosen = dialog.rgbResult;
        rgb = (GetRValue(chosen) << 16) | (GetGValue(chosen) << 8) | GetBValue(chosen);
        return true;
    }

private:
    COLORREF customColors_[16] = {};
};

}  // namespace

std::unique_ptr<DesktopInfo> MakeWindowsDesktopInfo() { return std::make_unique<WindowsDesktop>(); }

std::unique_ptr<ColorChooser> MakeWindowsColorChooser() {
    return std::make_unique<WindowsColorChooser>();
}

}  // namespace quillax::win32
