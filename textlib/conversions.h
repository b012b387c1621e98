// Conversions between the program's GBK text and the browser's wide (UTF-16) text, with the
// optional display in traditional characters.
//
// When the user chose traditional characters (the USEGBK setting), text going to the browser is
// mapped from simplified to traditional characters and text coming back is mapped the other
// way. The system's mapping works one character at a time, so it gets some words wrong; two
// lists of the configuration correct them: WORD_GB2 (simplified words) and WORD_GBK (their
// counterparts), matched by index.
#pragma once

#include <string>
#include <string_view>

#include "textlib/gb_list.h"
#include "textlib/gb_string.h"

namespace quillax {

// What the conversions need from the settings. The lists are not copied: they must outlive the
// options (the engine points them at its loaded configuration). A missing list counts as empty.
struct ConversionOptions {
    bool useGbk = false;                        // show traditional characters
    const GbList* simplifiedWords = nullptr;    // WORD_GB2
    const GbList* traditionalWords = nullptr;   // WORD_GBK
};

// GBK text to wide text. With useGbk, the text itself is first converted to traditional
// characters in place (ToTraditional); then it is decoded as code page 936. An empty text gives
// an empty wide string (the COM layer hands that on as a null string).
std::u16string ToWide(GbString& text, const ConversionOptions& options);

// Wide text to GBK (code page 936; characters GBK lacks become "?"); with useGbk the result is
// then converted to simplified characters (ToSimplified). Empty in, empty out.
GbString FromWide(std::u16string_view wide, const ConversionOptions& options);

// In place: for i = 0 .. n-1 every WORD_GB2[i] is replaced by WORD_GBK[i] (n = the shorter
// list's length; empty items are skipped), then every character is mapped to its traditional
// counterpart by the system's one-character mapping.
void ToTraditional(GbString& text, const ConversionOptions& options);

// In place: every character is mapped to its simplified counterpart, then for i = n-1 down to 0
// every WORD_GBK[i] is replaced by WORD_GB2[i].
void ToSimplified(GbString& text, const ConversionOptions& options);

}  // namespace quillax
