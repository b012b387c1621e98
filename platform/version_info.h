// The version strings of a library or program file, read from the file without loading it.
//
// Windows: the version resource (GetFileVersionInfoA / VerQueryValueA), string-file-info block
// "040904b0" (US English, Unicode) only. Linux: the version block that
// quillax_embed_version_block() (resources/version/version_block.cmake) places in the built file;
// its byte format is described in resources/version/version_block.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillax::platform {

struct VersionStrings {
    std::string fileVersion;     // "FileVersion", e.g. "2006,07,28,2025"
    std::string legalCopyright;  // "LegalCopyright", the legal notice
};

// Both strings of the file's version information, or nothing when the file cannot be read or
// carries no version information for block 040904b0. A string missing from a present block
// is empty.
std::optional<VersionStrings> ReadVersionStrings(std::string_view path);

}  // namespace quillax::platform
