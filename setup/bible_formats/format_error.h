// Why a published Bible could not be read: the line of the file where the reader gave up and
// what it found there. The importer names the file.
#pragma once

#include <string>

namespace quillax {

struct FormatError {
    int line = 0;        // 1-based
    std::string reason;  // ASCII text
};

}  // namespace quillax
