#include "textlib/index_writer.h"

#include "textlib/chapter_keys.h"

namespace quillax {

void IndexWriter::Add(std::string_view key) {
    buffer_.resize(writePosition_);
    if (const int chapter = IsChapterKey(key, false); chapter != 0) {
        const auto stored = static_cast<unsigned>(chapter - 1000);
        buffer_.push_back(static_cast<char>(stored & 0xFFu));
        buffer_.push_back(static_cast<char>((stored >> 8) & 0xFFu));
        buffer_.push_back(':');
    } else {
        buffer_.append(key.data(), key.size());
    }
    buffer_.push_back('=');
    buffer_.append(4, '\0');
    pending_ = true;
}

void IndexWriter::SetOffset(std::uint32_t offset) {
    if (!pending_) {
        return;
    }
    const std::size_t at = buffer_.size() - 4;
    for (int i = 0; i < 4; ++i) {
        buffer_[at + static_cast<std::size_t>(i)] = static_cast<char>((offset >> (8 * i)) & 0xFFu);
    }
    writePosition_ = buffer_.size();
    pending_ = false;
    ++recordCount_;
}

}  // namespace quillax
