// The desktop services of the configuration on Windows: the screen width, the active window
// and its caption, and the system colour dialog.
#pragma once

#include <memory>

#include "engine/host/desktop_seams.h"

namespace quillax::win32 {

std::unique_ptr<DesktopInfo> MakeWindowsDesktopInfo();
std::unique_ptr<ColorChooser> MakeWindowsColorChooser();

}  // namespace quillax::win32
