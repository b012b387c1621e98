// TextLineReader: hands out the lines of a text file one at a time, for a single pass over a
// large file such as the main text.
//
// A line is everything up to the next line feed (LF); it is handed out without the LF and
// without one carriage return right before that LF. A last line without LF is a line too. The file
// is read when the reader is opened; a file that cannot be read gives no lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

class TextLineReader {
public:
    // Reads the file at path (program form, "\" separators). False when it cannot be read.
    bool Open(std::string_view path);
    // Reads from bytes already in memory.
    void OpenBytes(std::string bytes);
    void Close();

    bool IsOpen() const { return open_; }
    // True when every line has been handed out (or nothing is open).
    bool AtEnd() const { return position_ >= bytes_.size(); }
    // Replaces line by the next line; false at the end.
    bool ReadLine(GbString& line);

private:
    bool open_ = false;
    std::string bytes_;
    std::size_t position_ = 0;
};

}  // namespace quillax
