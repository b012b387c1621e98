// Files and directories on Windows: the ANSI file functions.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/files_detail.h"

namespace quillax::platform {
namespace {

// An open file handle, closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    bool Close() {
        if (!ok()) {
            return true;
        }
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// The path as the ANSI functions take it, or the empty text (which every caller refuses) when
// it holds a 0 byte: the system would silently cut the name there and reach another file.
std::string AnsiPath(std::string_view path) {
    return path.find('\0') == std::string_view::npos ? std::string(path) : std::string();
}

// Position of the last "\" or "/" that is not the trail byte of a double-byte character.
std::size_t LastSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto b = static_cast<unsigned char>(path[i]);
        if (IsLead(b) && i + 1 < path.size()) {
            ++i;
        } else if (b == '\\' || b == '/') {
            last = i;
        }
    }
    return last;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

std::atomic<unsigned> tempCounter{0};

FileTime FromFiletime(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFiletime(FileTime time) {
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

bool AttributeData(std::string_view path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    const std::string file = AnsiPath(path);
    return !file.empty() && GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
}

}  // namespace

std::optional<std::string> ReadWholeFile(std::string_view path) {
    const std::string file = AnsiPath(path);
    Handle handle(CreateFileA(file.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.ok()) {
        return std::nullopt;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle.get(), &size) || size.QuadPart < 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(handle.get(), buffer, sizeof buffer, &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        bytes.append(buffer, read);
    }
    return bytes;
}

struct FileReplacement::Impl {
    std::string target;
    std::string temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool flushed = true;
    bool failed = false;
    WriteFault fault = WriteFault::None;

    void Abandon() {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
            DeleteFileA(temp.c_str());
        }
    }
};

FileReplacement::FileReplacement(std::string_view path, DiskFlush flush)
    : impl_(std::make_unique<Impl>()) {
    Impl& impl = *impl_;
    impl.target = AnsiPath(path);
    impl.flushed = flush == DiskFlush::Flushed;
    impl.fault = detail::CurrentWriteFault();
    if (impl.target.empty()) {
        return;
    }
    const DWORD old = Attributes(impl.target);
    if (old != INVALID_FILE_ATTRIBUTES &&
        (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
        return;  // a directory or a read-only file is never replaced
    }
    const std::size_t separator = LastSeparator(impl.target);
    const std::string directory =
        separator == std::string::npos ? std::string() : impl.target.substr(0, separator + 1);
    const std::string base =
        separator == std::string::npos ? impl.target : impl.target.substr(separator + 1);
    for (int attempt = 0; attempt < 100 && impl.file == INVALID_HANDLE_VALUE; ++attempt) {
        const std::string unique = "qx" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(tempCounter.fetch_add(1));
        // A name part holds at most 255 characters and, for the ANSI functions, the whole path
        // fewer than MAX_PATH.
        const std::size_t room = directory.size() + 1 < MAX_PATH ? MAX_PATH - 1 - directory.size() : 0;
        impl.temp = directory + detail::TemporaryFileName("~", base, unique, room < 255 ? room : 255);
        impl.file = CreateFileA(impl.temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (impl.file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return;
        }
    }
}

FileReplacement::~FileReplacement() { impl_->Abandon(); }

bool FileReplacement::ok() const {
    return impl_->file != INVALID_HANDLE_VALUE && !impl_->failed;
}

bool FileReplacement::Write(std::string_view bytes) {
    Impl& impl = *impl_;
    if (!ok()) {
        return false;
    }
    if (impl.fault == WriteFault::DuringWrite) {
        WriteAll(impl.file, bytes.data(), bytes.size() / 2);  // the disk fills up halfway
        impl.failed = true;
        return false;
    }
    impl.failed = !WriteAll(impl.file, bytes.data(), bytes.size());
    return !impl.failed;
}

bool FileReplacement::Commit() {
    Impl& impl = *impl_;
    if (impl.file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = !impl.failed && impl.fault != WriteFault::DuringWrite;
    ok = ok && (!impl.flushed || FlushFileBuffers(impl.file) != 0);
    ok = CloseHandle(impl.file) != 0 && ok;
    impl.file = INVALID_HANDLE_VALUE;
    ok = ok && impl.fault != WriteFault::BeforeRename;
    ok = ok && MoveFileExA(impl.temp.c_str(), impl.target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | (impl.flushed ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
    if (!ok) {
        DeleteFileA(impl.temp.c_str());
    }
    return ok;
}

bool WriteWholeFile(std::string_view path, std::string_view bytes, DiskFlush flush) {
    FileReplacement replacement(path, flush);
    return replacement.Write(bytes) && replacement.Commit();
}

NewFileResult CreateNewFile(std::string_view path, std::string_view bytes) {
    const std::string file = AnsiPath(path);
    if (file.empty()) {
        return NewFileResult::Failed;
    }
    Handle handle(CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.ok()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            return NewFileResult::Exists;
        }
        // A file that is being deleted while someone still has it open keeps its name and
        // refuses access until the last handle closes: the name is taken all the same.
        if (error == ERROR_ACCESS_DENIED) {
            const bool present = Attributes(file) != INVALID_FILE_ATTRIBUTES;
            const DWORD why = GetLastError();
            if (present || (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND)) {
                return NewFileResult::Exists;
            }
        }
        return NewFileResult::Failed;
    }
    const bool ok = WriteAll(handle.get(), bytes.data(), bytes.size());
    if (!handle.Close() || !ok) {
        DeleteFileA(file.c_str());
        return NewFileResult::Failed;
    }
    return NewFileResult::Created;
}

struct FileReader::Impl {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

FileReader::FileReader(std::string_view path) : impl_(std::make_unique<Impl>()) {
    const std::string ansi = AnsiPath(path);
    if (ansi.empty()) {
        return;
    }
    HANDLE file = CreateFileA(ansi.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    if (file != INVALID_HANDLE_VALUE && !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return;
    }
    impl_->file = file;
    impl_->size = static_cast<std::uint64_t>(size.QuadPart);
}

FileReader::~FileReader() {
    if (impl_->file != INVALID_HANDLE_VALUE) {
        CloseHandle(impl_->file);
    }
}

bool FileReader::ok() const { return impl_->file != INVALID_HANDLE_VALUE; }
std::uint64_t FileReader::Size() const { return impl_->size; }
std::uint64_t FileReader::Position() const { return impl_->position; }

std::size_t FileReader::Read(void* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD wanted = size > 0x10000000 ? DWORD{0x10000000} : static_cast<DWORD>(size);
    if (impl_->file == INVALID_HANDLE_VALUE || !ReadFile(impl_->file, buffer, wanted, &got, nullptr)) {
        return 0;
    }
    impl_->position += got;
    return got;
}

bool FileReader::Seek(std::uint64_t offset) {
    LARGE_INTEGER distance{};
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (impl_->file == INVALID_HANDLE_VALUE || offset > impl_->size ||
        !SetFilePointerEx(impl_->file, distance, nullptr, FILE_BEGIN)) {
        return false;
    }
    impl_->position = offset;
    return true;
}

bool FileExists(std::string_view path) {
    const DWORD attributes = Attributes(AnsiPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(std::string_view path) {
    const DWORD attributes = Attributes(AnsiPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint64_t> FileSize(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!AttributeData(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool MakeDirectories(std::string_view path) {
    const std::string full = AnsiPath(path);
    if (full.empty()) {
        return false;
    }
    // Every prefix that ends before a separator is a parent; the drive ("C:") and the root
    // fail to be created and are simply passed over.
    for (std::size_t i = 1; i < full.size(); ++i) {
        const auto b = static_cast<unsigned char>(full[i]);
        if (IsLead(b) && i + 1 < full.size()) {
            ++i;
        } else if (b == '\\' || b == '/') {
            CreateDirectoryA(full.substr(0, i).c_str(), nullptr);
        }
    }
    CreateDirectoryA(full.c_str(), nullptr);
    return DirectoryExists(full);
}

bool RemoveFile(std::string_view path) {
    const std::string file = AnsiPath(path);
    const DWORD attributes = Attributes(file);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    return DeleteFileA(file.c_str()) != 0;
}

bool RemoveEmptyDirectory(std::string_view path) {
    return RemoveDirectoryA(AnsiPath(path).c_str()) != 0;
}

bool RenamePath(std::string_view from, std::string_view to, bool replaceExisting) {
    const std::string target = AnsiPath(to);
    // Windows refuses to replace a read-only file; Wine lets a rename over one through when the
    // Unix permissions allow it (always for root), so the rule is kept here on every system.
    const DWORD old = Attributes(target);
    if (replaceExisting && old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return MoveFileExA(AnsiPath(from).c_str(), target.c_str(),
                       replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
}

bool CopyFileTo(std::string_view from, std::string_view to, bool failIfExists) {
    return CopyFileA(AnsiPath(from).c_str(), AnsiPath(to).c_str(),
                     failIfExists ? TRUE : FALSE) != 0;
}

std::vector<DirectoryEntry> ListDirectory(std::string_view path) {
    std::vector<DirectoryEntry> entries;
    std::string pattern = AnsiPath(path);
    if (pattern.empty() && !path.empty()) {
        return entries;
    }
    if (!pattern.empty() && LastSeparator(pattern) != pattern.size() - 1) {
        pattern += '\\';
    }
    pattern += "*.*";
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") {
            // A junction or directory link is reported as a link only, never as a directory,
            // so that walking a tree never leaves it.
            DWORD bits = data.dwFileAttributes;
            if ((bits & FILE_ATTRIBUTE_REPARSE_POINT) != 0) bits &= ~DWORD{FILE_ATTRIBUTE_DIRECTORY};
            entries.push_back({name, bits});
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

std::string CurrentDirectory() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    if (size == 0) {
        return {};
    }
    std::vector<char> buffer(size + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) {
        return {};
    }
    return std::string(buffer.data(), length);
}

bool ChangeDirectory(std::string_view path) {
    return SetCurrentDirectoryA(AnsiPath(path).c_str()) != 0;
}

std::optional<std::string> RealPath(std::string_view path) {
    const std::string file = AnsiPath(path);
    if (file.empty() || Attributes(file) == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    // GetFinalPathNameByHandleA (Windows Vista and later) follows symbolic links and junctions;
    // on older systems the full path as written is the best there is.
    using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPathFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    std::string real;
    if (finalPath != nullptr) {
        // No access rights are needed to ask for the name; FILE_FLAG_BACKUP_SEMANTICS opens
        // directories too.
        Handle handle(CreateFileA(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle.ok()) {
            return std::nullopt;
        }
        std::vector<char> buffer(MAX_PATH + 1);
        DWORD length = finalPath(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (length >= buffer.size()) {
            buffer.resize(length + 1);
            length = finalPath(handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        }
        if (length == 0 || length >= buffer.size()) {
            return std::nullopt;
        }
        real.assign(buffer.data(), length);
        // "\\?\C:\x" and "\\?\UNC\server\share" in their usual forms.
        if (real.compare(0, 8, "\\\\?\\UNC\\") == 0) {
            real.replace(0, 8, "\\\\");
        } else if (real.compare(0, 4, "\\\\?\\") == 0) {
            real.erase(0, 4);
        }
    } else {
        std::vector<char> buffer(MAX_PATH + 1);
        const DWORD length =
            GetFullPathNameA(file.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0 || length >= buffer.size()) {
            return std::nullopt;
        }
        real.assign(buffer.data(), length);
    }
    while (real.size() > 3 && LastSeparator(real) == real.size() - 1) {
        real.pop_back();
    }
    return real;
}

std::optional<std::uint32_t> GetFileAttributeBits(std::string_view path) {
    const DWORD attributes = Attributes(AnsiPath(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(attributes);
}

bool SetFileAttributeBits(std::string_view path, std::uint32_t attributes) {
    const DWORD bits = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetFileAttributesA(AnsiPath(path).c_str(), bits) != 0;
}

std::optional<FileTimes> GetFileTimes(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!AttributeData(path, data)) {
        return std::nullopt;
    }
    FileTimes times;
    times.creation = FromFiletime(data.ftCreationTime);
    times.lastAccess = FromFiletime(data.ftLastAccessTime);
    times.lastWrite = FromFiletime(data.ftLastWriteTime);
    return times;
}

bool SetFileTimes(std::string_view path, const FileTimes& times) {
    // FILE_FLAG_BACKUP_SEMANTICS lets a directory be opened too.
    Handle handle(CreateFileA(AnsiPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.ok()) {
        return false;
    }
    const FILETIME creation = ToFiletime(times.creation);
    const FILETIME access = ToFiletime(times.lastAccess);
    const FILETIME write = ToFiletime(times.lastWrite);
    return SetFileTime(handle.get(), times.creation != 0 ? &creation : nullptr,
                       times.lastAccess != 0 ? &access : nullptr,
                       times.lastWrite != 0 ? &write : nullptr) != 0;
}

std::optional<CalendarTime> FileTimeToLocal(FileTime time) {
    const FILETIME utc = ToFiletime(time);
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) {
        return std::nullopt;
    }
    return CalendarTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::optional<FileTime> LocalToFileTime(const CalendarTime& local) {
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 ||
        local.day < 1 || local.day > 31 || local.hour < 0 || local.hour > 23 ||
        local.minute < 0 || local.minute > 59 || local.second < 0 || local.second > 59) {
        return std::nullopt;
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.year);
    st.wMonth = static_cast<WORD>(local.month);
    st.wDay = static_cast<WORD>(local.day);
    st.wHour = static_cast<WORD>(local.hour);
    st.wMinute = static_cast<WORD>(local.minute);
    st.wSecond = static_cast<WORD>(local.second);
    FILETIME localTime;
    FILETIME utc;
    if (!SystemTimeToFileTime(&st, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc)) {
        return std::nullopt;
    }
    return FromFiletime(utc);
}

}  // namespace quillax::platform
