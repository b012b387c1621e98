// Version strings on Linux: the version block embedded in the file, found by scanning the
// file's bytes.
#include "platform/files.h"
#include "platform/version_block_scan.h"
#include "platform/version_info.h"

namespace quillax::platform {

std::optional<VersionStrings> ReadVersionStrings(std::string_view path) {
    const auto file = ReadWholeFile(path);
    if (!file) {
        return std::nullopt;
    }
    return FindVersionBlock(*file);
}

}  // namespace quillax::platform
