// The engine state of the chapter pages, the passage texts and the reference links. RenderState
// holds one ChapterPageState as its member `chapter`.
#pragma once

#include <functional>
#include <string_view>

#include "textlib/module_reader.h"

namespace quillax {

struct ChapterPageState {
    // The module files kept between reads. Every read checks the file's size and time, so a
    // module rewritten by the set-up tool or the updater is read afresh.
    ModuleFileCache moduleFiles;

    // Shows a message box with an OK button and no owner window. Empty: the platform's message
    // box. Tests put a recorder here.
    std::function<void(std::string_view text, std::string_view caption)> showMessage;
};

}  // namespace quillax
