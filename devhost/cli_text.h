// Terminal text of quillax-cli: text inside is GBK; the terminal sees UTF-8.
#pragma once

#include <string_view>

#include "textlib/gb_string.h"

namespace quillax::cli {

// Writes GBK text to standard output as UTF-8 (PrintLine: with a line break).
void Print(std::string_view gbk);
void PrintLine(std::string_view gbk);

// An argument as GBK: UTF-8 that converts to GBK and back unchanged is taken as UTF-8 (plain
// ASCII reads the same either way); anything else is taken as GBK bytes already.
GbString ArgumentText(std::string_view arg);

// Left-aligned column of a terminal width: a GBK character is two bytes and two columns wide.
GbString Padded(std::string_view text, int width);

GbString Real(double x);

}  // namespace quillax::cli
