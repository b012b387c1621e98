// Helpers shared by the fuzz targets: a private scratch directory made once per process, the
// sample installation's configuration for a realistic engine state, a whole-tree listing for
// "nothing was written outside the target" checks, and the abort that turns a broken invariant
// into a finding.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

#ifndef QUILLAX_SOURCE_DIR
#define QUILLAX_SOURCE_DIR "."
#endif

namespace quillax::fuzzing {

[[noreturn]] inline void Finding(const char* target, const char* what) {
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

void RemoveScratchTree(const std::string& path);

// A directory of this process's own, made on first use and removed at a normal exit. It lies in
// /dev/shm when that is writable (files written there cost no disk flush), else under TMPDIR or
// /tmp. The path has no trailing separator.
// How often pattern occurs in text, occurrences not overlapping.
inline int Count(std::string_view text, std::string_view pattern) {
    int n = 0;
    for (std::size_t at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, at + pattern.size())) {
        ++n;
    }
    return n;
}

inline const std::string& ScratchDirectory() {
    static const std::string path = [] {
        std::string parent;
        if (access("/dev/shm", W_OK) == 0) {
            parent = "/dev/shm";
        } else if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
            parent = tmp;
        } else {
            parent = "/tmp";
        }
        std::string pattern = parent + "/quillax-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    // Removed without the platform layer, whose tables may already be gone at exit.
    static const bool cleanup = [] {
        std::atexit([] { RemoveScratchTree(ScratchDirectory()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

// Marks a symbolic link in ListTree (a 0 byte is in no file name).
inline const std::string kLinkMark("\0link", 5);

inline bool IsLinkEntry(const std::string& path) { return path.find('\0') != std::string::npos; }

// Every path below root (directories with a trailing "/"), relative to root; symbolic links are
// listed with kLinkMark after their path and not followed.
inline void ListTree(const std::string& root, const std::string& relative, std::set<std::string>& out) {
    DIR* dir = opendir((root + "/" + relative).c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        const std::string path = relative + entry->d_name;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {  // a file system that does not say: ask
            struct stat info {};
            if (lstat((root + "/" + path).c_str(), &info) != 0) continue;
            type = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
        }
        if (type == DT_LNK) {
            out.insert(path + kLinkMark);
        } else if (type == DT_DIR) {
            out.insert(path + "/");
            ListTree(root, path + "/", out);
        } else {
            out.insert(path);
        }
    }
    closedir(dir);
}

inline std::set<std::string> ListTree(const std::string& root) {
    std::set<std::string> out;
    ListTree(root, "", out);
    return out;
}

// Empties the directory open as directoryFd and closes it. What unlinks (files, symbolic links)
// goes at once; what does not is a directory, made writable, emptied and removed.
inline void RemoveEntriesAt(int directoryFd) {
    DIR* dir = fdopendir(directoryFd);
    if (dir == nullptr) {
        close(directoryFd);
        return;
    }
    std::vector<std::string> directories;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (unlinkat(dirfd(dir), entry->d_name, 0) != 0) directories.emplace_back(entry->d_name);
    }
    for (const std::string& name : directories) {
        fchmodat(dirfd(dir), name.c_str(), S_IRWXU, 0);
        const int sub = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (sub >= 0) RemoveEntriesAt(sub);
        unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR);
    }
    closedir(dir);
}

// Removes a tree of the scratch directory, read-only directories included. Plain system calls:
// the product's own file functions are what the targets test, and this runs on every input, so
// it makes as few calls as it can.
inline void RemoveScratchTree(const std::string& path) {
    if (unlink(path.c_str()) == 0) return;  // a file or a symbolic link
    chmod(path.c_str(), S_IRWXU);
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) return;
    RemoveEntriesAt(fd);
    rmdir(path.c_str());
}

// Runs the calls between its construction and its end in directory, then returns to the
// directory the process was in (libFuzzer reads corpus paths relative to it).
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& directory) {
        if (getcwd(saved_, sizeof saved_) == nullptr || chdir(directory.c_str()) != 0) {
            Finding("fuzz", "cannot change the working directory");
        }
    }
    ~WorkingDirectory() {
        if (chdir(saved_) != 0) Finding("fuzz", "cannot return to the working directory");
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    char saved_[4096] = {};
};

// Empties a directory (made anew, with its parents, when missing).
inline void ResetDirectory(const std::string& path) {
    RemoveScratchTree(path);
    std::error_code error;
    std::filesystem::create_directories(path, error);
}

// Writes a test file directly (the targets' own set-up; the product's writes are under test).
inline void PutFile(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) Finding("fuzz", "cannot write a test file");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        Finding("fuzz", "cannot write a test file");
    }
    std::fclose(file);
}

// The sample installation's bible.ini (GBK), read once; empty when the source tree is not there.
inline const std::string& SampleConfig() {
    static const std::string text =
        platform::ReadWholeFile(std::string(QUILLAX_SOURCE_DIR) + "/sample/cfg/bible.ini").value_or("");
    return text;
}

}  // namespace quillax::fuzzing
