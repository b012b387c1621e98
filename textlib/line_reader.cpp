#include "textlib/line_reader.h"

#include <cstring>
#include <utility>

#include "platform/files.h"

namespace quillax {

LineReader::LineReader(std::string_view path) {
    if (auto bytes = platform::ReadWholeFile(path)) {
        bytes_ = std::move(*bytes);
        open_ = true;
    }
}

LineReader LineReader::FromBytes(std::string bytes) {
    LineReader reader;
    reader.bytes_ = std::move(bytes);
    reader.open_ = true;
    return reader;
}

bool LineReader::ReadLine(GbString& line) {
    line.Empty();
    if (AtEnd()) {
        return false;
    }
    const char* start = bytes_.data() + position_;
    const std::size_t left = bytes_.size() - position_;
    const void* lf = std::memchr(start, '\n', left);
    std::size_t taken = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1 : left;
    position_ += taken;
    std::size_t length = lf != nullptr ? taken - 1 : taken;
    if (length > 0 && start[length - 1] == '\r') {
        --length;
    }
    line.Assign(std::string_view(start, length));
    return true;
}

}  // namespace quillax
