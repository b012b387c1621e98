#include "updater/updater_test_support.h"

#include <atomic>
#include <chrono>

#include "minizip/zip_writer.h"
#include "platform/environment.h"

namespace quillax::testing {
namespace {

std::atomic<unsigned> scratchCounter{0};

}  // namespace

ScratchDir::ScratchDir() {
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007ULL);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = platform::TemporaryDirectory() + "qx-updater-" +
                                      std::to_string(stamp) + "-" + std::to_string(scratchCounter++);
        if (!platform::PathExists(candidate) && platform::MakeDirectories(candidate)) {
            dir_ = candidate + "\\";
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    if (!dir_.empty()) {
        RemoveTree(dir_.substr(0, dir_.size() - 1));
    }
}

WorkingDirectoryScope::WorkingDirectoryScope(std::string_view path)
    : previous_(platform::CurrentDirectory()) {
    platform::ChangeDirectory(path);
}

WorkingDirectoryScope::~WorkingDirectoryScope() { platform::ChangeDirectory(previous_); }


bool CopyTree(const std::string& from, const std::string& to) {
    if (!platform::MakeDirectories(to)) {
        return false;
    }
    bool ok = true;
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(from)) {
        const std::string source = from + "\\" + entry.name;
        const std::string target = to + "\\" + entry.name;
        if ((entry.attributes & platform::kAttrDirectory) != 0) {
            ok = CopyTree(source, target) && ok;
        } else {
            ok = platform::CopyFileTo(source, target, false) && ok;
        }
    }
    return ok;
}

bool WriteFileBytes(std::string_view path, std::string_view bytes) {
    return platform::WriteWholeFile(path, bytes);
}

std::string FileBytes(std::string_view path) {
    return platform::ReadWholeFile(path).value_or(std::string());
}

bool SetLocalWriteTime(std::string_view path, const platform::CalendarTime& local) {
    const auto time = platform::LocalToFileTime(local);
    if (!time) {
        return false;
    }
    platform::FileTimes times;
    times.lastWrite = *time;
    times.lastAccess = *time;
    return platform::SetFileTimes(path, times);
}

std::string TimestampExtra(std::uint8_t flags, const std::vector<std::int32_t>& seconds) {
    std::string block;
    testzip::Put16(block, 0x5455);
    testzip::Put16(block, static_cast<std::uint32_t>(1 + 4 * seconds.size()));
    block.push_back(static_cast<char>(flags));
    for (const std::int32_t value : seconds) {
        testzip::Put32(block, static_cast<std::uint32_t>(value));
    }
    return block;
}

std::string BuildZip(const std::vector<ZipEntry>& entries, const std::string& corruptCrcOf) {
    using testzip::Put16;
    using testzip::Put32;
    std::string archive;
    std::string directory;
    for (const ZipEntry& entry : entries) {
        const std::string packed = entry.deflate ? testzip::Deflate(entry.data) : entry.data;
        std::uint32_t crc = testzip::Crc(entry.data);
        if (entry.name == corruptCrcOf) {
            crc ^= 0x5A5A5A5Au;
        }
        const auto offset = static_cast<std::uint32_t>(archive.size());
        const std::uint32_t method = entry.deflate ? 8 : 0;
        const auto nameSize = static_cast<std::uint32_t>(entry.name.size());

        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        Put16(archive, 0);
        Put16(archive, method);
        Put32(archive, entry.dosDateTime);  // time, then date
        Put32(archive, crc);
        Put32(archive, static_cast<std::uint32_t>(packed.size()));
        Put32(archive, static_cast<std::uint32_t>(entry.data.size()));
        Put16(archive, nameSize);
        Put16(archive, static_cast<std::uint32_t>(entry.localExtra.size()));
        archive += entry.name + entry.localExtra + packed;

        Put32(directory, 0x02014b50);
        Put16(directory, entry.versionMadeBy);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, method);
        Put32(directory, entry.dosDateTime);
        Put32(directory, crc);
        Put32(directory, static_cast<std::uint32_t>(packed.size()));
        Put32(directory, static_cast<std::uint32_t>(entry.data.size()));
        Put16(directory, nameSize);
        Put16(directory, static_cast<std::uint32_t>(entry.centralExtra.size()));
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, entry.externalAttributes);
        Put32(directory, offset);
        directory += entry.name + entry.centralExtra;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put16(archive, static_cast<std::uint32_t>(entries.size()));
    Put32(archive, static_cast<std::uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    return archive;
}

}  // namespace quillax::testing
