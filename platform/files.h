// Files and directories.
//
// Paths arrive as the program writes them: GBK text with "\" between the parts
// ("sys\Corpa.txt", "cfg\bible.ini"), relative to the current directory or absolute. On Windows
// they go unchanged to the ANSI file functions. The Linux layer makes them behave the same way:
//  - "\" separates parts ("/" does too); a 0x5C byte that is the trail byte of a GBK
//    character is part of that character, never a separator;
//  - names with bytes above 0x7F are GBK and become UTF-8 names on disk (names listed from a
//    directory come back as GBK); bytes that are not valid GBK are used as they are;
//  - names compare without regard to ASCII case: when a part of a path does not exist under the
//    exact name, an entry of that directory that differs only in case is used instead, and a
//    new file or directory is created under the name as given.
//
// No function throws; failures are results (nothing, false, an empty list).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillax::platform {

// ---- whole files -----------------------------------------------------------------------------

// The whole content of a file, or nothing when it cannot be read (missing, a directory, ...).
std::optional<std::string> ReadWholeFile(std::string_view path);

// Replaces (or creates) a file with exactly these bytes, safely: the bytes go to a temporary
// file in the same directory, which is flushed to disk and then renamed over the old file. When
// anything fails the old file stays as it was, no temporary file is left and the result is
// false. A read-only file is not replaced (false), as on Windows. The directory must exist.
// DiskFlush::Skipped leaves out the flush (still a whole-file replacement: a killed process
// leaves the old or the new file), for many files written in a row that can be written again,
// such as the entries of an archive being unpacked.
enum class DiskFlush { Flushed, Skipped };
bool WriteWholeFile(std::string_view path, std::string_view bytes,
                    DiskFlush flush = DiskFlush::Flushed);

// A file read piece by piece, so that a file of any size costs only the caller's buffer.
class FileReader {
public:
    explicit FileReader(std::string_view path);  // ok() tells whether the file could be opened
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool ok() const;
    std::uint64_t Size() const;
    // Reads up to `size` bytes at the current position; 0 at the end or on a read error.
    std::size_t Read(void* buffer, std::size_t size);
    // Moves the position (from the start of the file); false beyond its end.
    bool Seek(std::uint64_t offset);
    std::uint64_t Position() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A whole-file replacement written piece by piece, with the rules of WriteWholeFile: the pieces
// go to a temporary file in the same directory, and Commit renames it over the file. Destroyed
// without a successful Commit, it leaves the old file as it was and no temporary file behind.
class FileReplacement {
public:
    explicit FileReplacement(std::string_view path, DiskFlush flush = DiskFlush::Flushed);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool ok() const;  // the temporary file exists and every write so far succeeded
    bool Write(std::string_view bytes);
    bool Commit();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Creates a file with exactly these bytes, only when nothing exists under that name yet: the
// check and the creation are one step of the system (O_EXCL, CREATE_NEW), so of several
// programs trying at the same moment exactly one succeeds. Exists: something already has the
// name and stays as it was (a link there is not followed). Failed: anything else (a missing
// directory, no permission, a full disk), and nothing is left under the name.
enum class NewFileResult { Created, Exists, Failed };
NewFileResult CreateNewFile(std::string_view path, std::string_view bytes);

// Test seam: makes the next WriteWholeFile calls (and FileReplacement) fail at a given step, so tests can check that
// a failed write leaves the old file intact. Not for use outside tests.
enum class WriteFault {
    None,          // normal operation
    DuringWrite,   // fail after half of the bytes went to the temporary file, as a full disk
                   // does; the file that an HTTP download writes (platform/http.h) fails the
                   // same way after its first bytes
    BeforeRename,  // fail after the temporary file is complete, before it replaces the old one
};
void SetWriteFault(WriteFault fault);

// ---- tests and sizes -------------------------------------------------------------------------

bool FileExists(std::string_view path);       // exists and is not a directory
bool DirectoryExists(std::string_view path);  // exists and is a directory
bool PathExists(std::string_view path);       // either of the two
std::optional<std::uint64_t> FileSize(std::string_view path);

// ---- changes ---------------------------------------------------------------------------------

// Creates the directory with all missing parents; true when it exists afterwards.
bool MakeDirectories(std::string_view path);
// Deletes a file (not a directory). A read-only file cannot be deleted (false), as on Windows:
// clear the attribute first.
bool RemoveFile(std::string_view path);
// Removes an empty directory.
bool RemoveEmptyDirectory(std::string_view path);
// Deletes a directory and everything in it, read-only files included. Symbolic links (and other
// reparse points) are removed themselves, never followed. False when something is left.
bool RemoveTree(std::string_view path);
// Renames (moves) a file or directory. With replaceExisting false an existing target makes it
// fail; with true an existing file is replaced.
bool RenamePath(std::string_view from, std::string_view to, bool replaceExisting = false);
// Copies a file's bytes, keeping its last-write time (and read-only attribute). With
// failIfExists an existing target makes it fail and stays as it was; otherwise the target is
// replaced as by WriteWholeFile.
bool CopyFileTo(std::string_view from, std::string_view to, bool failIfExists);

// ---- where a path leads ------------------------------------------------------------------------

// Where an existing file or directory really is: every link (Windows: also junctions), "." and
// ".." on the way resolved, as an absolute path in the program's form without a trailing "\"
// (a root keeps it). Nothing when the path does not exist or cannot be resolved (a link whose
// target is missing).
std::optional<std::string> RealPath(std::string_view path);

// Whether `path` lies in `directory` (or is it) once the links on the way of both are followed,
// so that writing or deleting at `path` cannot reach anything outside `directory`. A path that
// does not exist yet is judged by its nearest existing ancestor, which is where anything made
// under it would land. False when `directory` does not exist, and when a part of `path` is a
// link that leads nowhere.
bool StaysWithin(std::string_view path, std::string_view directory);

// ---- directories -----------------------------------------------------------------------------

// Attribute bits, with the values of the Windows file attributes.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;
constexpr std::uint32_t kAttrNormal = 0x80;  // a file without any other attribute
// A symbolic link (Linux) or other reparse point: never a directory to descend into, whatever it
// points at, so that a recursive delete removes the link and leaves its target alone.
constexpr std::uint32_t kAttrReparsePoint = 0x400;

struct DirectoryEntry {
    std::string name;         // GBK, without the directory
    std::uint32_t attributes; // kAttr... bits
};

// The entries of a directory, without "." and "..", in no particular order. Empty when the
// directory cannot be read.
std::vector<DirectoryEntry> ListDirectory(std::string_view path);

// The current directory (without a trailing separator except for a root), and changing it.
std::string CurrentDirectory();
bool ChangeDirectory(std::string_view path);

// ---- attributes --------------------------------------------------------------------------------

// The kAttr... bits of a file or directory, or nothing when it does not exist. A file without
// any other bit reports kAttrNormal. Linux: kAttrDirectory for directories, kAttrReadOnly when
// the owner may not write, kAttrHidden for names starting with ".", kAttrReparsePoint (alone,
// never with kAttrDirectory) for a symbolic link; nothing else. ListDirectory reports the same.
std::optional<std::uint32_t> GetFileAttributeBits(std::string_view path);
// Sets the attributes (kAttrNormal or 0 clears them all). Linux honours only kAttrReadOnly
// (clearing all write permissions, or giving the owner write permission back).
bool SetFileAttributeBits(std::string_view path, std::uint32_t attributes);
bool IsReadOnly(std::string_view path);
bool SetReadOnly(std::string_view path, bool readOnly);

// ---- times -------------------------------------------------------------------------------------

// A point in time as 100-nanosecond intervals since 1601-01-01 00:00 UTC: the value of a
// Windows FILETIME, on every platform. 0 means "no time".
using FileTime = std::uint64_t;

struct FileTimes {
    FileTime creation = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;
};

// The three times of a file or directory. Linux has no creation time and reports the
// last-write time for it.
std::optional<FileTimes> GetFileTimes(std::string_view path);
// Sets the times; a field of 0 leaves that time as it is. Linux ignores the creation time.
bool SetFileTimes(std::string_view path, const FileTimes& times);

// Conversions with seconds since 1970-01-01 00:00 UTC (time_t).
FileTime FileTimeFromUnixSeconds(std::int64_t seconds);
std::int64_t UnixSecondsFromFileTime(FileTime time);

// A calendar date and time of day: month 1-12, day 1-31.
struct CalendarTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A time in the local time zone of this machine and back; nothing when out of range.
std::optional<CalendarTime> FileTimeToLocal(FileTime time);
std::optional<FileTime> LocalToFileTime(const CalendarTime& local);

}  // namespace quillax::platform
