// LineReader: reads a text file line by line and tells the byte offset of every line.
//
// A line is everything up to the next line feed (LF, 0x0A); it is handed out without the LF
// and without one carriage return (0x0D) before it, so files with LF and with CR LF line ends
// give the same lines, while Position() counts the bytes actually present. A last line without
// LF is a line too. Lines may be of any length and may hold any bytes, NUL included.
//
// The file is read whole when the reader is made; the reader then owns its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

class LineReader {
public:
    // A reader with nothing to read (not open).
    LineReader() = default;
    // Opens the file at path (program form, "\" separators). When it cannot be read the reader
    // is not open: ReadLine gives empty lines and AtEnd() is true.
    explicit LineReader(std::string_view path);
    // A reader over bytes already in memory (open).
    static LineReader FromBytes(std::string bytes);

    bool IsOpen() const { return open_; }
    // Size in bytes of the file when it was opened (0 when not open).
    std::uint64_t FileSize() const { return bytes_.size(); }

    // Clears `line` and reads the next line into it; false when there was none (at the end,
    // or not open).
    bool ReadLine(GbString& line);
    // Offset of the first byte not yet read: after ReadLine, the start of the next line.
    std::uint64_t Position() const { return position_; }
    // True when every byte has been read (always for a reader that is not open).
    bool AtEnd() const { return position_ >= bytes_.size(); }

private:
    bool open_ = false;
    std::string bytes_;
    std::size_t position_ = 0;
};

}  // namespace quillax
