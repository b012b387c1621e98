// Files and directories on Linux, behaving like the Windows file functions the program was
// written for: "\" separators, case-insensitive names, read-only files that cannot be replaced
// or deleted, and replacement of whole files through a temporary file and a rename.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/files_detail.h"
#include "platform/posix/posix_io.h"

namespace quillax::platform {
namespace posix {
namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Replaces every "\" that is not the trail byte of a double-byte character by "/". Used on
// bytes that could not be decoded as GBK; UTF-8 text never holds 0x5C inside a character.
std::string MapSeparators(std::string_view text, bool dbcs) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (dbcs && b >= 0x81 && b <= 0xFE && i + 1 < out.size()) {
            ++i;  // a lead byte and its trail byte
        } else if (b == '\\') {
            out[i] = '/';
        }
    }
    return out;
}

// Case folding of ASCII letters that leaves double-byte characters alone (the byte after a
// lead byte may be an ASCII letter in GBK; in UTF-8 it never is).
std::string FoldCase(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x81 && b <= 0xFE) {
            ++i;
        } else if (b >= 'A' && b <= 'Z') {
            out[i] = static_cast<char>(b - 'A' + 'a');
        }
    }
    return out;
}

bool Exists(const std::string& systemPath) {
    struct stat st {};
    return lstat(systemPath.c_str(), &st) == 0;
}

// The entry of `directory` whose name equals `name` apart from ASCII case (the smallest such
// name when there are several), or the empty text.
std::string FindCaseless(const std::string& directory, const std::string& name) {
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) {
        return {};
    }
    const std::string wanted = FoldCase(name);
    std::string found;
    while (const dirent* entry = readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (FoldCase(candidate) == wanted && (found.empty() || candidate < found)) {
            found = candidate;
        }
    }
    closedir(dir);
    return found;
}

std::string Resolve(const std::string& path) {
    if (path.empty() || Exists(path)) {
        return path;
    }
    std::string resolved;
    std::size_t i = 0;
    if (path[0] == '/') {
        resolved = "/";
        i = 1;
    }
    bool searching = true;
    while (i <= path.size()) {
        std::size_t end = path.find('/', i);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string part = path.substr(i, end - i);
        const bool last = end >= path.size();
        if (!part.empty()) {
            const std::string directory = resolved;
            std::string candidate = resolved;
            if (!candidate.empty() && candidate.back() != '/') {
                candidate += '/';
            }
            if (searching && part != "." && part != ".." && !Exists(candidate + part)) {
                const std::string match = FindCaseless(directory, part);
                if (!match.empty()) {
                    part = match;
                } else {
                    searching = false;  // the rest is new: keep it as given
                }
            }
            resolved = candidate + part;
        }
        if (!last) {
            if (resolved.empty() || resolved.back() != '/') {
                resolved += '/';  // keeps "a//b" and a trailing "/" harmless
            }
        }
        i = end + 1;
    }
    return resolved;
}

std::string DirectoryOf(const std::string& systemPath) {
    const std::size_t slash = systemPath.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : systemPath.substr(0, slash);
}

std::string BaseNameOf(const std::string& systemPath) {
    const std::size_t slash = systemPath.rfind('/');
    return slash == std::string::npos ? systemPath : systemPath.substr(slash + 1);
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::atomic<unsigned> tempCounter{0};

}  // namespace

std::string SystemPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return {};  // the system would cut the name at the 0 byte and reach another file
    }
    std::string mapped;
    if (IsAscii(path)) {
        mapped = MapSeparators(path, false);
    } else if (IsValidGbk(path)) {
        mapped = MapSeparators(GbkToUtf8(path), false);
    } else {
        mapped = MapSeparators(path, true);
    }
    return Resolve(mapped);
}

std::string ProgramForm(const std::string& systemPath) {
    std::string path = ProgramText(systemPath);
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    while (path.size() > 1 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

std::string ProgramText(std::string_view systemName) {
    if (IsAscii(systemName)) {
        return std::string(systemName);
    }
    const std::u16string wide = Utf8ToUtf16(systemName);
    if (Utf16ToUtf8(wide) != systemName) {
        return std::string(systemName);  // not UTF-8
    }
    std::string gbk = Utf16ToGbk(wide);
    if (GbkToUtf8(gbk) != systemName) {
        return std::string(systemName);  // characters that GBK lacks
    }
    return gbk;
}

std::optional<std::string> ReadSystemFile(const std::string& systemPath) {
    const int fd = open(systemPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string bytes;
    if (st.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return bytes;
}

SystemFileReplacement::SystemFileReplacement(std::string systemPath, bool flushToDisk)
    : target_(std::move(systemPath)), flushToDisk_(flushToDisk), fault_(detail::CurrentWriteFault()) {
    if (target_.empty()) {
        return;
    }
    struct stat old {};
    if (stat(target_.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode) || (old.st_mode & S_IWUSR) == 0) {
            return;  // a directory or a read-only file is never replaced
        }
        mode_ = old.st_mode & 07777;
        keepMode_ = true;
    }
    directory_ = DirectoryOf(target_);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        const std::string unique =
            "qx" + std::to_string(getpid()) + "-" + std::to_string(tempCounter.fetch_add(1));
        temp_ = directory_ + "/" + detail::TemporaryFileName(".", BaseNameOf(target_), unique, NAME_MAX);
        fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) {
            return;
        }
    }
}

SystemFileReplacement::~SystemFileReplacement() { Abandon(); }

void SystemFileReplacement::Abandon() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
        unlink(temp_.c_str());
    }
}

bool SystemFileReplacement::Write(std::string_view bytes) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (fault_ == WriteFault::DuringWrite) {
        WriteAll(fd_, bytes.data(), bytes.size() / 2);  // the disk fills up halfway
        failed_ = true;
        return false;
    }
    failed_ = !WriteAll(fd_, bytes.data(), bytes.size());
    return !failed_;
}

bool SystemFileReplacement::Commit() {
    if (fd_ < 0) {
        return false;
    }
    bool ok = !failed_ && fault_ != WriteFault::DuringWrite;
    if (ok && keepMode_) {
        ok = fchmod(fd_, mode_) == 0;
    }
    ok = ok && (!flushToDisk_ || fsync(fd_) == 0);
    const int fd = fd_;
    fd_ = -1;
    ok = close(fd) == 0 && ok;
    ok = ok && fault_ != WriteFault::BeforeRename;
    ok = ok && rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        unlink(temp_.c_str());
        return false;
    }
    if (!flushToDisk_) {
        return true;
    }
    // Make the rename itself durable; a failure here does not undo the replacement.
    const int dirFd = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool WriteSystemFileAtomically(const std::string& systemPath, std::string_view bytes,
                               bool flushToDisk) {
    SystemFileReplacement replacement(systemPath, flushToDisk);
    return replacement.Write(bytes) && replacement.Commit();
}

}  // namespace posix

namespace {

bool StatPath(std::string_view path, struct stat& st) {
    const std::string systemPath = posix::SystemPath(path);
    return !systemPath.empty() && stat(systemPath.c_str(), &st) == 0;
}

FileTime FromTimespec(const timespec& ts) {
    return FileTimeFromUnixSeconds(ts.tv_sec) + static_cast<FileTime>(ts.tv_nsec / 100);
}

timespec ToTimespec(FileTime time) {
    timespec ts{};
    const auto ticks = static_cast<FileTime>(detail::kFileTimeTicksPerSecond);
    ts.tv_sec = static_cast<time_t>(UnixSecondsFromFileTime(time));
    ts.tv_nsec = static_cast<long>((time % ticks) * 100);
    return ts;
}

bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

std::uint32_t AttributesOf(const struct stat& st, const std::string& name) {
    if (S_ISLNK(st.st_mode)) {
        return kAttrReparsePoint;
    }
    std::uint32_t bits = 0;
    if (S_ISDIR(st.st_mode)) {
        bits |= kAttrDirectory;
    }
    if (IsReadOnlyMode(st)) {
        bits |= kAttrReadOnly;
    }
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") {
        bits |= kAttrHidden;
    }
    return bits == 0 ? kAttrNormal : bits;
}

std::string LastPart(const std::string& systemPath) {
    std::string trimmed = systemPath;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

std::optional<std::string> ReadWholeFile(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return std::nullopt;
    }
    return posix::ReadSystemFile(systemPath);
}

bool WriteWholeFile(std::string_view path, std::string_view bytes, DiskFlush flush) {
    return posix::WriteSystemFileAtomically(posix::SystemPath(path), bytes,
                                            flush == DiskFlush::Flushed);
}

NewFileResult CreateNewFile(std::string_view path, std::string_view bytes) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return NewFileResult::Failed;
    }
    const int fd = open(systemPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno == EEXIST ? NewFileResult::Exists : NewFileResult::Failed;
    }
    bool ok = posix::WriteAll(fd, bytes.data(), bytes.size());
    ok = close(fd) == 0 && ok;
    if (!ok) {
        unlink(systemPath.c_str());
        return NewFileResult::Failed;
    }
    return NewFileResult::Created;
}

struct FileReader::Impl {
    int fd = -1;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

FileReader::FileReader(std::string_view path) : impl_(std::make_unique<Impl>()) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return;
    }
    const int fd = open(systemPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        close(fd);
        return;
    }
    impl_->fd = fd;
    impl_->size = fd >= 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

FileReader::~FileReader() {
    if (impl_->fd >= 0) {
        close(impl_->fd);
    }
}

bool FileReader::ok() const { return impl_->fd >= 0; }
std::uint64_t FileReader::Size() const { return impl_->size; }
std::uint64_t FileReader::Position() const { return impl_->position; }

std::size_t FileReader::Read(void* buffer, std::size_t size) {
    if (impl_->fd < 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = pread(impl_->fd, buffer, size, static_cast<off_t>(impl_->position));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return 0;
        }
        impl_->position += static_cast<std::uint64_t>(n);
        return static_cast<std::size_t>(n);
    }
}

bool FileReader::Seek(std::uint64_t offset) {
    if (impl_->fd < 0 || offset > impl_->size) {
        return false;
    }
    impl_->position = offset;
    return true;
}

struct FileReplacement::Impl {
    posix::SystemFileReplacement replacement;
};

FileReplacement::FileReplacement(std::string_view path, DiskFlush flush)
    : impl_(std::make_unique<Impl>(Impl{posix::SystemFileReplacement(posix::SystemPath(path),
                                                                     flush == DiskFlush::Flushed)})) {}

FileReplacement::~FileReplacement() = default;
bool FileReplacement::ok() const { return impl_->replacement.ok(); }
bool FileReplacement::Write(std::string_view bytes) { return impl_->replacement.Write(bytes); }
bool FileReplacement::Commit() { return impl_->replacement.Commit(); }

bool FileExists(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSize(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st) || S_ISDIR(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool MakeDirectories(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return false;
    }
    // Every prefix ending before a "/" is a parent to create, then the whole path.
    for (std::size_t slash = systemPath.find('/', 1); slash != std::string::npos;
         slash = systemPath.find('/', slash + 1)) {
        mkdir(systemPath.substr(0, slash).c_str(), 0777);
    }
    mkdir(systemPath.c_str(), 0777);
    struct stat st {};
    return stat(systemPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    struct stat st {};
    if (systemPath.empty() || lstat(systemPath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return false;
    }
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st)) {
        return false;
    }
    return unlink(systemPath.c_str()) == 0;
}

bool RemoveEmptyDirectory(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    return !systemPath.empty() && rmdir(systemPath.c_str()) == 0;
}

bool RenamePath(std::string_view from, std::string_view to, bool replaceExisting) {
    const std::string source = posix::SystemPath(from);
    const std::string target = posix::SystemPath(to);
    struct stat st {};
    if (source.empty() || target.empty() || lstat(source.c_str(), &st) != 0) {
        return false;
    }
    struct stat existing {};
    if (lstat(target.c_str(), &existing) == 0 && source != target) {
        // Windows replaces only a file that may be written, and only when asked to.
        if (!replaceExisting || S_ISDIR(existing.st_mode) || IsReadOnlyMode(existing)) {
            return false;
        }
    }
    return rename(source.c_str(), target.c_str()) == 0;
}

bool CopyFileTo(std::string_view from, std::string_view to, bool failIfExists) {
    const std::string source = posix::SystemPath(from);
    const std::string target = posix::SystemPath(to);
    struct stat st {};
    if (source.empty() || target.empty() || stat(source.c_str(), &st) != 0 ||
        S_ISDIR(st.st_mode)) {
        return false;
    }
    struct stat existing {};
    if (failIfExists && lstat(target.c_str(), &existing) == 0) {
        return false;
    }
    const auto bytes = posix::ReadSystemFile(source);
    if (!bytes || !posix::WriteSystemFileAtomically(target, *bytes)) {
        return false;
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, target.c_str(), times, 0);
    if (IsReadOnlyMode(st)) {
        chmod(target.c_str(), st.st_mode & 07555);
    }
    return true;
}

std::vector<DirectoryEntry> ListDirectory(std::string_view path) {
    std::vector<DirectoryEntry> entries;
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty() && !path.empty()) {
        return entries;
    }
    DIR* dir = opendir(systemPath.empty() ? "." : systemPath.c_str());
    if (dir == nullptr) {
        return entries;
    }
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        // The entry itself, not what a symbolic link points at: code that walks a tree (deleting
        // it, say) must never follow a link out of it.
        if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // vanished meanwhile
        }
        entries.push_back({posix::ProgramText(name), AttributesOf(st, name)});
    }
    closedir(dir);
    return entries;
}

std::string CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX + 1);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return posix::ProgramText(buffer.data());
}

bool ChangeDirectory(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    return !systemPath.empty() && chdir(systemPath.c_str()) == 0;
}

std::optional<std::string> RealPath(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return std::nullopt;
    }
    char* resolved = realpath(systemPath.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    const std::string real = resolved;
    std::free(resolved);
    return posix::ProgramForm(real);
}

std::optional<std::uint32_t> GetFileAttributeBits(std::string_view path) {
    const std::string systemPath = posix::SystemPath(path);
    struct stat st {};
    if (systemPath.empty() || lstat(systemPath.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return AttributesOf(st, LastPart(systemPath));
}

bool SetFileAttributeBits(std::string_view path, std::uint32_t attributes) {
    const std::string systemPath = posix::SystemPath(path);
    struct stat st {};
    // A symbolic link has no attributes of its own; changing its target's would reach outside
    // the tree being worked on.
    if (systemPath.empty() || lstat(systemPath.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    if ((attributes & kAttrReadOnly) != 0) {
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
        mode |= S_IWUSR;
    }
    return chmod(systemPath.c_str(), mode) == 0;
}

std::optional<FileTimes> GetFileTimes(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st)) {
        return std::nullopt;
    }
    FileTimes times;
    times.lastWrite = FromTimespec(st.st_mtim);
    times.lastAccess = FromTimespec(st.st_atim);
    times.creation = times.lastWrite;
    return times;
}

bool SetFileTimes(std::string_view path, const FileTimes& times) {
    const std::string systemPath = posix::SystemPath(path);
    if (systemPath.empty()) {
        return false;
    }
    timespec values[2];
    values[0] = times.lastAccess != 0 ? ToTimespec(times.lastAccess) : timespec{0, UTIME_OMIT};
    values[1] = times.lastWrite != 0 ? ToTimespec(times.lastWrite) : timespec{0, UTIME_OMIT};
    return utimensat(AT_FDCWD, systemPath.c_str(), values, 0) == 0;
}

std::optional<CalendarTime> FileTimeToLocal(FileTime time) {
    const std::int64_t seconds = UnixSecondsFromFileTime(time);
    const auto t = static_cast<time_t>(seconds);
    if (static_cast<std::int64_t>(t) != seconds) {
        return std::nullopt;
    }
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) {
        return std::nullopt;
    }
    return CalendarTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                        tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

std::optional<FileTime> LocalToFileTime(const CalendarTime& local) {
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 ||
        local.day < 1 || local.day > 31 || local.hour < 0 || local.hour > 23 ||
        local.minute < 0 || local.minute > 59 || local.second < 0 || local.second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = local.year - 1900;
    tm.tm_mon = local.month - 1;
    tm.tm_mday = local.day;
    tm.tm_hour = local.hour;
    tm.tm_min = local.minute;
    tm.tm_sec = local.second;
    tm.tm_isdst = -1;  // whatever daylight saving time applies on that day
    errno = 0;
    const time_t t = mktime(&tm);
    if (t == static_cast<time_t>(-1) && errno != 0) {
        return std::nullopt;
    }
    return FileTimeFromUnixSeconds(static_cast<std::int64_t>(t));
}

}  // namespace quillax::platform
