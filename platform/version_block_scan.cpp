// Scanning a file's bytes for the version block (format in resources/version/version_block.h).
#include "platform/version_block_scan.h"

#include "resources/version/version_block.h"

namespace quillax::platform {
namespace {

// Reads a zero-terminated text at `pos`; false when it is too long or not terminated.
bool ReadText(std::string_view bytes, std::size_t& pos, std::string_view& text) {
    const std::size_t end = bytes.find('\0', pos);
    if (end == std::string_view::npos || end - pos > QUILLAX_VERSION_TEXT_MAX) {
        return false;
    }
    text = bytes.substr(pos, end - pos);
    pos = end + 1;
    return true;
}

// Parses the block that starts right after a marker at `pos`.
std::optional<VersionStrings> ParseBlock(std::string_view bytes, std::size_t pos) {
    VersionStrings strings;
    int pairs = 0;
    for (;;) {
        std::string_view key;
        if (!ReadText(bytes, pos, key)) {
            return std::nullopt;
        }
        if (key.empty()) {
            break;
        }
        std::string_view value;
        if (++pairs > QUILLAX_VERSION_PAIR_MAX || !ReadText(bytes, pos, value)) {
            return std::nullopt;
        }
        if (key == "FileVersion") {
            strings.fileVersion.assign(value);
        } else if (key == "LegalCopyright") {
            strings.legalCopyright.assign(value);
        }
    }
    const std::string_view end(QUILLAX_VERSION_END, QUILLAX_VERSION_END_SIZE);
    if (pairs == 0 || bytes.substr(pos, end.size()) != end) {
        return std::nullopt;
    }
    return strings;
}

}  // namespace

std::optional<VersionStrings> FindVersionBlock(std::string_view bytes) {
    const std::string_view marker(QUILLAX_VERSION_MARKER, QUILLAX_VERSION_MARKER_SIZE);
    for (std::size_t at = bytes.find(marker); at != std::string_view::npos;
         at = bytes.find(marker, at + 1)) {
        if (auto strings = ParseBlock(bytes, at + marker.size())) {
            return strings;
        }
    }
    return std::nullopt;
}

}  // namespace quillax::platform
