// Helpers of the tests of the published Bible formats.
#pragma once

#include <optional>
#include <string>

#include "setup/bible_formats/format_error.h"
#include "setup/bible_formats/verse_collector.h"

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

// What a reader made of a text: the module as ShownModule shows it, its error if any, and the
// collector with its counts.
struct FormatRead {
    std::string module;
    std::optional<FormatError> error;
    VerseCollector verses;
};

// Reads text with a reader (ReadUsfmBooks, ReadOsisDocument).
template <class Reader>
FormatRead ReadFormat(Reader reader, const std::string& text) {
    FormatRead read;
    read.error = reader(text, read.verses);
    read.module = ShownModule(read.verses.ModuleText());
    return read;
}

// "LINE: REASON" of the error a reader gives for text, or "no error".
template <class Reader>
std::string FormatErrorOf(Reader reader, const std::string& text) {
    const FormatRead read = ReadFormat(reader, text);
    return read.error ? std::to_string(read.error->line) + ": " + read.error->reason : "no error";
}

}  // namespace quillax::testsupport
