// Helpers of the tests of the published Bible formats.
#pragma once

#include <string>

namespace quillax::testsupport {

// A module text on one line, for comparisons that show where a line ends: a verse line's CR LF
// as "|", a chapter header's LF as "/".
inline std::string ShownModule(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            out += '|';
            ++i;
        } else {
            out += text[i] == '\n' ? '/' : text[i];
        }
    }
    return out;
}

}  // namespace quillax::testsupport
