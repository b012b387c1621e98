// Processes on Linux: posix_spawn, /proc and an exit handler for files that go away with the
// process.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/posix_io.h"
#include "platform/process.h"

extern char** environ;

namespace quillax::platform {
namespace {

std::string FoldAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// The last part of a path written with "/" or "\".
std::string_view LastPart(std::string_view path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string ReadLink(const std::string& path) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

std::mutex pendingMutex;
std::vector<std::string>* pendingDeletions = nullptr;

void DeletePendingFiles() {
    const std::lock_guard<std::mutex> lock(pendingMutex);
    if (pendingDeletions != nullptr) {
        for (const std::string& path : *pendingDeletions) {
            unlink(path.c_str());
        }
    }
}

}  // namespace

ProcessStart StartProgram(std::string_view program, const std::vector<std::string>& arguments,
                          bool waitForExit) {
    ProcessStart result;
    std::string path = posix::SystemPath(program);
    if (path.empty()) {
        path = std::string(program);
    }
    std::vector<std::string> words;
    words.push_back(path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        result.errorCode = static_cast<std::uint32_t>(error);
        return result;
    }
    result.started = true;
    result.processId = static_cast<std::uint32_t>(pid);
    if (waitForExit) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) {
                return result;
            }
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return result;
}

std::optional<std::uint32_t> FindProcessByName(std::string_view name) {
    const std::string wanted = FoldAscii(name);
    if (wanted.empty()) {
        return std::nullopt;
    }
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return std::nullopt;
    }
    const auto self = static_cast<unsigned long>(getpid());
    std::optional<std::uint32_t> found;
    unsigned long best = ULONG_MAX;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid == self) {
            continue;
        }
        const std::string base = "/proc/" + std::string(entry->d_name);
        bool matches = FoldAscii(LastPart(ReadLink(base + "/exe"))) == wanted;
        if (!matches) {
            std::ifstream cmdline(base + "/cmdline", std::ios::binary);
            std::string first;
            std::getline(cmdline, first, '\0');
            matches = !first.empty() && FoldAscii(LastPart(first)) == wanted;
        }
        // The lowest id stands for the first process of the system's list.
        if (matches && pid < best) {
            best = pid;
            found = static_cast<std::uint32_t>(pid);
        }
    }
    closedir(proc);
    return found;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

bool IsProcessRunning(std::uint32_t processId) {
    // Ids beyond pid_t would turn negative and name a process group instead.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX)) {
        return false;
    }
    const auto pid = static_cast<pid_t>(processId);
    if (kill(pid, 0) != 0 && errno != EPERM) {
        return false;
    }
    // A process that has ended but not been collected by its parent still answers the signal;
    // its state in /proc/<id>/stat (the field after the name in parentheses) is "Z".
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;  // no /proc to ask: the signal's answer stands
    }
    const std::size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

bool TerminateProcessById(std::uint32_t processId, int /*exitCode*/) {
    // A signal cannot carry an exit code; the process ends as killed.
    return processId != 0 && kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

bool CopyProgramFile(std::string_view from, std::string_view to) {
    const std::string source = posix::SystemPath(from);
    const std::string target = posix::SystemPath(to);
    struct stat st {};
    if (source.empty() || target.empty() || stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const auto bytes = posix::ReadSystemFile(source);
    if (!bytes) {
        return false;
    }
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes->size()) {
        const ssize_t n = write(fd, bytes->data() + done, bytes->size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(target.c_str());
    }
    return ok;
}

bool DeleteFileWhenProcessEnds(std::string_view path) {
    std::string systemPath = posix::SystemPath(path);
    struct stat st {};
    if (systemPath.empty() || stat(systemPath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    // An absolute name, so that a later change of the working directory does not matter.
    if (systemPath.front() != '/') {
        char* absolute = realpath(systemPath.c_str(), nullptr);
        if (absolute == nullptr) {
            return false;
        }
        systemPath = absolute;
        std::free(absolute);
    }
    const std::lock_guard<std::mutex> lock(pendingMutex);
    if (pendingDeletions == nullptr) {
        pendingDeletions = new std::vector<std::string>();  // lives until the exit handler ran
        std::atexit(&DeletePendingFiles);
    }
    pendingDeletions->push_back(systemPath);
    return true;
}

}  // namespace quillax::platform
