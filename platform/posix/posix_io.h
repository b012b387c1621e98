// File helpers of the Linux layer that work on system paths (UTF-8, "/"), shared by the file
// functions and the registry store.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"

namespace quillax::platform::posix {

// The path of the program's text (GBK, "\" or "/") as the system names it: separators become
// "/", names become UTF-8, and every part that does not exist under its exact name is looked
// up without regard to ASCII case in its directory (the first part that is found in neither
// form and everything after it stay as given). A path with a 0 byte in it gives the empty
// text, which every caller refuses.
std::string SystemPath(std::string_view path);

// A system name (UTF-8) as program text (GBK); bytes that are not valid UTF-8, or names with
// characters that GBK lacks, come back unchanged.
std::string ProgramText(std::string_view systemName);

// A system path (UTF-8, "/") in the program's form (GBK, "\"), without a trailing "\" except
// for the root itself.
std::string ProgramForm(const std::string& systemPath);

// Reads a whole file; nothing when it cannot be read or is a directory.
std::optional<std::string> ReadSystemFile(const std::string& systemPath);

// A file replaced through a temporary file in its directory, written piece by piece (the
// system side of platform::FileReplacement): Commit flushes it (when asked) and renames it over
// the target; destroyed without a successful Commit, the temporary file is removed. A read-only
// target is refused. Honours the write fault of the test seam.
class SystemFileReplacement {
public:
    SystemFileReplacement(std::string systemPath, bool flushToDisk);
    ~SystemFileReplacement();
    SystemFileReplacement(SystemFileReplacement&& other) noexcept
        : target_(std::move(other.target_)), directory_(std::move(other.directory_)),
          temp_(std::move(other.temp_)), fd_(other.fd_), mode_(other.mode_),
          keepMode_(other.keepMode_), flushToDisk_(other.flushToDisk_), failed_(other.failed_),
          fault_(other.fault_) {
        other.fd_ = -1;
    }
    SystemFileReplacement(const SystemFileReplacement&) = delete;
    SystemFileReplacement& operator=(const SystemFileReplacement&) = delete;
    SystemFileReplacement& operator=(SystemFileReplacement&&) = delete;

    bool ok() const { return fd_ >= 0 && !failed_; }
    bool Write(std::string_view bytes);
    bool Commit();

private:
    void Abandon();

    std::string target_;
    std::string directory_;
    std::string temp_;
    int fd_ = -1;
    unsigned mode_ = 0666;  // a new file: the process's umask applies
    bool keepMode_ = false;
    bool flushToDisk_ = true;
    bool failed_ = false;
    WriteFault fault_ = WriteFault::None;
};

// Replaces a file through a temporary file in the same directory (flushed, then renamed); on
// failure the old file stays and no temporary file is left. A read-only target is refused.
// Honours the write fault of the test seam.
bool WriteSystemFileAtomically(const std::string& systemPath, std::string_view bytes,
                               bool flushToDisk = true);

}  // namespace quillax::platform::posix
