#include "devhost/cli_text.h"

#include <cstdio>
#include <string>

#include "platform/code_page.h"

namespace quillax::cli {

void Print(std::string_view gbk) {
    const std::string utf8 = platform::GbkToUtf8(gbk);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintLine(std::string_view gbk) {
    Print(gbk);
    std::fputc('\n', stdout);
}

GbString ArgumentText(std::string_view arg) {
    const std::string gbk = platform::Utf8ToGbk(arg);
    if (platform::GbkToUtf8(gbk) == arg) return GbString(gbk);
    return GbString(arg);
}

GbString Padded(std::string_view text, int width) {
    GbString out(text);
    for (int n = out.Length(); n < width; ++n) out += " ";
    return out;
}

GbString Real(double x) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", x);
    return GbString(buffer);
}

}  // namespace quillax::cli
