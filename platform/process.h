// Processes: starting programs, finding, checking and ending another running program, copying a
// program file, and a file that disappears when this process ends.
//
// Program paths are program text as in platform/files.h. No function throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillax::platform {

struct ProcessStart {
    bool started = false;
    std::uint32_t errorCode = 0;  // the system's error code when the start failed
    int exitCode = 0;             // the program's exit code, when it was waited for
    std::uint32_t processId = 0;  // the id the system gave the started process
};

// Starts `program` with `arguments` (each passed as one argument; Windows quotes the ones that
// need it on the command line). The new process inherits the working directory, the
// environment and, on Windows, the inheritable handles. With waitForExit the call returns when
// the program has ended and reports its exit code; otherwise it returns at once.
ProcessStart StartProgram(std::string_view program, const std::vector<std::string>& arguments,
                          bool waitForExit);

// The id of the first running process (other than this one) whose executable file name equals
// `name` apart from ASCII case (e.g. "corvex.exe"), or nothing. Linux compares the name of
// the executable file and that of the first word of the process's command line, so a Windows
// program run by Wine is found by its .exe name as well.
std::optional<std::uint32_t> FindProcessByName(std::string_view name);

// The id of this process.
std::uint32_t CurrentProcessId();

// Whether a process with this id is still running. A process that exists but may not be
// looked at counts as running; an id of 0, one the system cannot give, and a process that has
// ended (Linux: also one that ended and waits for its parent to collect it) give false. An id
// may be given anew to another process once its process has ended.
bool IsProcessRunning(std::uint32_t processId);

// Ends the process with the given exit code; false when it cannot be opened or ended.
bool TerminateProcessById(std::uint32_t processId, int exitCode);

// Copies a program file so that the copy can be started too (Linux keeps the permission bits,
// which the plain file copy does not). An existing target is kept as it is (false).
bool CopyProgramFile(std::string_view from, std::string_view to);

// Makes the file disappear once this process has ended and nothing else uses it any more
// (Windows: a delete-on-close handle held for the life of the process; Linux: the name is
// removed when the process exits, a program started from it keeps running). False when the
// file cannot be opened.
bool DeleteFileWhenProcessEnds(std::string_view path);

}  // namespace quillax::platform
