#include "engine/search/line_reader.h"

#include <cstring>
#include <utility>

#include "platform/files.h"

namespace quillax {

bool TextLineReader::Open(std::string_view path) {
    Close();
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) return false;
    OpenBytes(std::move(*bytes));
    return true;
}

void TextLineReader::OpenBytes(std::string bytes) {
    bytes_ = std::move(bytes);
    position_ = 0;
    open_ = true;
}

void TextLineReader::Close() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    position_ = 0;
    open_ = false;
}

bool TextLineReader::ReadLine(GbString& line) {
    if (AtEnd()) {
        line.Empty();
        return false;
    }
    const char* start = bytes_.data() + position_;
    const std::size_t left = bytes_.size() - position_;
    const void* lf = std::memchr(start, '\n', left);
    std::size_t length = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : left;
    position_ += lf != nullptr ? length + 1 : length;
    if (lf != nullptr && length > 0 && start[length - 1] == '\r') --length;
    line.Assign(std::string_view(start, length));
    return true;
}

}  // namespace quillax
