// The layout every module made from a published Bible (USFM, OSIS) must have, checked by the
// fuzz targets of both readers: chapter headers of a book of the 66 and a chapter 1-999, books
// in ascending order, and verse lines "$" + a label that begins with a digit + text without
// line breaks, doubled or trailing blanks, ended by CR LF; as many verse lines as verses were
// counted; GBK throughout.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"

namespace quillax::fuzzing {

inline void CheckPublishedModule(const char* target, const std::string& module, int verseCount) {
    int verses = 0;
    int lastBook = 0;
    std::size_t start = 0;
    while (start < module.size()) {
        const std::size_t end = module.find('\n', start);
        if (end == std::string::npos) Finding(target, "a module line without its line end");
        const std::string_view line(module.data() + start, end - start);
        if (!line.empty() && line.front() == '$') {
            if (line.size() < 3 || line.back() != '\r') Finding(target, "a verse line without CR LF");
            if (line[1] < '0' || line[1] > '9') Finding(target, "a verse label that is not a number");
            const std::string_view text = line.substr(0, line.size() - 1);
            if (text.find('\r') != std::string_view::npos) Finding(target, "a line break inside a verse");
            if (text.find("  ") != std::string_view::npos || text.back() == ' ') {
                std::fprintf(stderr, "line: %.*s\n", static_cast<int>(line.size()), line.data());
                Finding(target, "a verse with doubled or trailing blanks");
            }
            if (lastBook == 0) Finding(target, "a verse before the first chapter header");
            ++verses;
        } else {
            if (line.size() != 7 || line.substr(5) != ":=") Finding(target, "a line that is neither header nor verse");
            for (int i = 0; i < 5; ++i) {
                if (line[i] < '0' || line[i] > '9') Finding(target, "a chapter header that is not a number");
            }
            const int book = (line[0] - '0') * 10 + (line[1] - '0');
            const int chapter = (line[2] - '0') * 100 + (line[3] - '0') * 10 + (line[4] - '0');
            if (book < 1 || book > 66 || chapter < 1) Finding(target, "a chapter header outside the book table");
            if (book < lastBook) Finding(target, "the books are not in book order");
            lastBook = book;
        }
        start = end + 1;
    }
    if (verses != verseCount) Finding(target, "the verse count differs from the verse lines");
    if (!platform::IsValidGbk(module)) Finding(target, "the module is not GBK");
}

}  // namespace quillax::fuzzing
