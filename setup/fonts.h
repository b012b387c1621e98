// The product's fonts: placed into the system's font directory by the installation run.
#pragma once

#include <string_view>

#include "setup/setup_session.h"
#include "textlib/gb_string.h"

namespace quillax {

// The question asked when the YouYuan font of the system cannot be replaced, and its caption.
extern const char kFontQuestionCaption[];
extern const char kFontQuestionText[];
// Appended to the completion text after the numbered-notation font was moved.
extern const char kFontHint[];

// Places the fonts of the configuration directory into fontDirectory (each only when its file
// is in the configuration directory):
//  - "SimYou.ttf" is copied. An existing font there is deleted first; when that fails, a quiet
//    run (show flag cleared) keeps it, otherwise the user is asked (kFontQuestionText): Yes
//    keeps it, No overwrites it.
//  - "WINGDNG3.TTF", "cvfont.ttf" and "jianpu2.5.1.ttf" are moved (an existing destination is
//    deleted first), so they leave the configuration directory.
//  - After "jianpu2.5.1.ttf": the platform's fonts refresh runs on fontsFolder (the shell's
//    Fonts folder), kFontHint is appended to completionText, and when the refresh cannot be
//    started completionText is shown in a message box (caption "Orvane").
// Nothing happens when fontDirectory is empty. Failures are ignored.
void InstallFonts(const SetupSession& session, std::string_view fontDirectory,
                  std::string_view fontsFolder, GbString& completionText);

}  // namespace quillax
