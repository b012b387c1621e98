// Program locations on Linux, reported in the program's form ("\" separators, GBK names).
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/posix_io.h"
#include "platform/program_location.h"

namespace quillax::platform {
namespace {

// A Linux path in the program's form: every "/" becomes "\". GBK trail bytes are never 0x2F,
// so no character is touched.
std::string ProgramForm(std::string path) {
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// The directory part of a path in the program's form, without the trailing "\" (a root
// keeps it).
std::string DirectoryPart(const std::string& path) {
    const std::size_t last = path.rfind('\\');
    if (last == std::string::npos) {
        return {};
    }
    return last == 0 ? path.substr(0, 1) : path.substr(0, last);
}

}  // namespace

std::string StartDirectory() {
    // CurrentDirectory already gives GBK names.
    return ProgramForm(CurrentDirectory());
}

std::string ProgramPath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return ProgramForm(posix::ProgramText(std::string(buffer.data(), static_cast<std::size_t>(n))));
        }
        if (buffer.size() >= (1u << 20)) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDirectory() { return DirectoryPart(ProgramPath()); }

std::string SystemDirectory() {
    const char* dir = std::getenv("QUILLAX_SYSTEM_DIR");
    if (dir == nullptr || *dir == '\0') {
        return {};
    }
    std::string path = ProgramForm(posix::ProgramText(dir));
    while (path.size() > 1 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

}  // namespace quillax::platform
