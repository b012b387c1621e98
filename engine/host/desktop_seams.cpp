#include "engine/host/desktop_seams.h"

namespace quillax {

namespace {

class StandInDesktop : public DesktopInfo {
public:
    int ScreenWidth() const override { return 1024; }
    WindowHandle ActiveWindow() const override { return nullptr; }
    GbString WindowCaption(WindowHandle /*window*/) const override { return GbString(); }
};

class KeepColorChooser : public ColorChooser {
public:
    bool ChooseColor(WindowHandle /*owner*/, int& /*rgb*/) override { return true; }
};

}  // namespace

std::unique_ptr<DesktopInfo> MakeDefaultDesktopInfo() { return std::make_unique<StandInDesktop>(); }

std::unique_ptr<ColorChooser> MakeDefaultColorChooser() {
    return std::make_unique<KeepColorChooser>();
}

}  // namespace quillax
