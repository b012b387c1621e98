// IndexWriter: builds the bytes of a module index (name.inx), one record per key.
//
// A record is the key, "=" (0x3D) and the 4-byte little-endian offset of the keyed passage in
// the text file. A key for which IsChapterKey (textlib/chapter_keys.h) gives a chapter number n
// is stored in the chapter form: n - 1000 as a 16-bit little-endian number followed by ":"
// (0x3A), so "01001" becomes 01 00 3A and any characters after the first five are dropped;
// every other key is stored as its bytes. The records follow one another with nothing before,
// between or after them; an index ends with a record whose key is empty and whose offset is
// the size of the text file.
//
// The buffer grows as needed, so an index may be of any size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillax {

class IndexWriter {
public:
    // Starts the record of key: writes the key and "=" and reserves the offset. A record
    // started before and not finished by SetOffset is dropped.
    void Add(std::string_view key);
    // Fills the offset of the record started by Add and makes the record part of the index.
    // Without a started record nothing happens.
    void SetOffset(std::uint32_t offset);

    // The finished records.
    std::string_view Bytes() const { return std::string_view(buffer_).substr(0, writePosition_); }
    int RecordCount() const { return recordCount_; }

private:
    std::string buffer_;
    std::size_t writePosition_ = 0;
    bool pending_ = false;
    int recordCount_ = 0;
};

}  // namespace quillax
