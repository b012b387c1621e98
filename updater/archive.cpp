#include "updater/archive.h"

#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace quillax {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Splits a path at "/" and "\" that are not the trail byte of a GBK character.
std::vector<std::string> SplitParts(std::string_view path) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t size = GbkCharSize(path, i);
        if (size == 1 && IsSeparator(path[i])) {
            parts.emplace_back();
        } else {
            parts.back() += path.substr(i, size);
        }
        i += size;
    }
    return parts;
}

// ---- reading the archive from disk ------------------------------------------------------------
//
// minizip reads the archive through these callbacks, piece by piece from the file layer (which
// knows the program's paths): an archive of any size costs only minizip's own buffers.

voidpf ZCALLBACK OpenArchive(voidpf opaque, const void* /*filename*/, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;
    }
    auto* reader = static_cast<platform::FileReader*>(opaque);
    return reader->Seek(0) ? reader : nullptr;
}

uLong ZCALLBACK ReadArchive(voidpf /*opaque*/, voidpf handle, void* buffer, uLong size) {
    return static_cast<uLong>(static_cast<platform::FileReader*>(handle)->Read(buffer, size));
}

uLong ZCALLBACK WriteArchive(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellArchive(voidpf /*opaque*/, voidpf handle) {
    return static_cast<platform::FileReader*>(handle)->Position();
}

long ZCALLBACK SeekArchive(voidpf /*opaque*/, voidpf handle, ZPOS64_T offset, int origin) {
    auto* reader = static_cast<platform::FileReader*>(handle);
    std::uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
        case ZLIB_FILEFUNC_SEEK_CUR: base = reader->Position(); break;
        case ZLIB_FILEFUNC_SEEK_END: base = reader->Size(); break;
        default: return -1;
    }
    // minizip also steps back with SEEK_CUR: a "negative" offset wraps around, and the sum is
    // right modulo 2^64.
    return reader->Seek(base + offset) ? 0 : -1;
}

int ZCALLBACK CloseArchive(voidpf, voidpf) { return 0; }
int ZCALLBACK ErrorArchive(voidpf, voidpf) { return 0; }

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

std::uint16_t Read16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// Inflates the current entry into a temporary file beside `target`, kExtractUnit bytes at a
// time, and renames it over the target once the entry's CRC has passed. False, with the target
// as it was and no temporary file left, when the data is damaged or a write fails.
bool ExtractCurrentEntry(unzFile zip, const std::string& target, std::vector<char>& buffer) {
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
        return false;
    }
    // Each entry replaces its file whole; the flush to disk is left to the system, as an
    // interrupted update is simply run again.
    platform::FileReplacement file(target, platform::DiskFlush::Skipped);
    int got = 0;
    while (file.ok() &&
           (got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        file.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    // Closing the entry checks its CRC (when it was read to its end).
    const int closed = unzCloseCurrentFile(zip);
    return file.ok() && got == 0 && closed == UNZ_OK && file.Commit();
}

}  // namespace

GbString CleanEntryName(std::string_view name) {
    GbString text(name);
    static const char* const kUpLinks[] = {"\\..\\", "\\../", "/../", "/..\\"};
    for (;;) {
        if (text.Length() >= 2 && text.GetAt(1) == ':') {
            text.Delete(0, 2);
            continue;
        }
        if (text.Length() >= 1 && IsSeparator(static_cast<char>(text.GetAt(0)))) {
            text.Delete(0, 1);
            continue;
        }
        bool cut = false;
        for (const char* upLink : kUpLinks) {
            const int at = text.Find(upLink);
            if (at >= 0) {
                text.Delete(0, at + 4);
                cut = true;
                break;
            }
        }
        if (!cut) {
            return text;
        }
    }
}

GbString ContainedPath(std::string_view cleanedName) {
    GbString path;
    for (std::string part : SplitParts(cleanedName)) {
        // A drive that only "." or ".." parts kept from the front ("..\A:\x") would make the
        // path one on that drive: the first part loses it.
        while (path.IsEmpty() && part.size() >= 2 && part[1] == ':') {
            part.erase(0, 2);
        }
        if (part.empty() || part == "." || part == "..") {
            continue;
        }
        if (!path.IsEmpty()) {
            path.Append("\\");
        }
        path.Append(part);
    }
    return path;
}

std::uint32_t EntryAttributes(std::uint16_t versionMadeBy, std::uint32_t externalAttributes) {
    const unsigned host = versionMadeBy >> 8;
    if (host == 0 || host == 7 || host == 11 || host == 14) {
        return externalAttributes & (platform::kAttrReadOnly | platform::kAttrHidden |
                                     platform::kAttrSystem | platform::kAttrDirectory |
                                     platform::kAttrArchive);
    }
    std::uint32_t attributes = platform::kAttrArchive;
    if ((externalAttributes & 0x40000000u) != 0) {
        attributes |= platform::kAttrDirectory;
    }
    if ((externalAttributes & 0x00800000u) == 0) {
        attributes |= platform::kAttrReadOnly;
    }
    return attributes;
}

platform::FileTimes EntryTimes(const platform::CalendarTime& dosLocalTime,
                               std::string_view extraField) {
    platform::FileTimes times;
    const platform::FileTime dos = platform::LocalToFileTime(dosLocalTime).value_or(0);
    times.creation = times.lastAccess = times.lastWrite = dos;

    std::size_t at = 0;
    while (at + 4 <= extraField.size()) {
        const std::uint16_t tag = Read16(extraField, at);
        const std::size_t size = Read16(extraField, at + 2);
        const std::size_t begin = at + 4;
        const std::size_t end = std::min(extraField.size(), begin + size);
        if (tag == 0x5455 && begin < end) {  // "UT"
            const auto flags = static_cast<unsigned char>(extraField[begin]);
            std::size_t next = begin + 1;
            platform::FileTime* const targets[] = {&times.lastWrite, &times.lastAccess, &times.creation};
            for (int bit = 0; bit < 3; ++bit) {
                if ((flags & (1u << bit)) == 0) {
                    continue;
                }
                if (next + 4 > end) {
                    break;  // announced but not there (a central-directory block holds only the first)
                }
                const auto seconds = static_cast<std::int32_t>(Read32(extraField, next));
                *targets[bit] = platform::FileTimeFromUnixSeconds(seconds);
                next += 4;
            }
            break;
        }
        at = begin + size;
    }
    return times;
}

ExtractSummary ExtractArchive(std::string_view archivePath, std::string_view baseDirectory) {
    ExtractSummary summary;
    platform::FileReader reader(archivePath);
    if (!reader.ok()) {
        return summary;
    }
    zlib_filefunc64_def functions{};
    functions.zopen64_file = &OpenArchive;
    functions.zread_file = &ReadArchive;
    functions.zwrite_file = &WriteArchive;
    functions.ztell64_file = &TellArchive;
    functions.zseek64_file = &SeekArchive;
    functions.zclose_file = &CloseArchive;
    functions.zerror_file = &ErrorArchive;
    functions.opaque = &reader;
    const std::string pathText(archivePath);
    unzFile zip = unzOpen2_64(pathText.c_str(), &functions);
    if (zip == nullptr) {
        return summary;
    }
    summary.opened = true;

    // Directory entries are created under the working directory of this moment.
    std::string root = platform::CurrentDirectory();
    if (!EndsWithPathSeparator(root)) {
        root += "\\";
    }
    const std::string base(baseDirectory);

    std::vector<char> buffer(kExtractUnit);
    unz_global_info64 global{};
    unzGetGlobalInfo64(zip, &global);
    int result = unzGoToFirstFile(zip);
    for (ZPOS64_T index = 0; index < global.number_entry && result == UNZ_OK;
         ++index, result = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        // A name of kEntryNameLimit bytes or more fills the buffer without a terminating 0, so
        // the last byte is never handed out: it keeps the 0 that ends the cut name.
        char name[kEntryNameLimit + 1] = {};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name - 1, nullptr, 0, nullptr, 0) != UNZ_OK) {
            ++summary.failed;
            summary.failedNames.emplace_back("#" + std::to_string(index + 1));
            continue;
        }
        const auto fail = [&summary, &name] {
            ++summary.failed;
            summary.failedNames.emplace_back(name);
        };
        std::string extra(info.size_file_extra, '\0');
        if (!extra.empty() &&
            unzGetCurrentFileInfo64(zip, nullptr, nullptr, 0, extra.data(),
                                    static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK) {
            extra.clear();
        }

        const GbString cleaned = CleanEntryName(name);
        const std::uint32_t attributes = EntryAttributes(
            static_cast<std::uint16_t>(info.version), static_cast<std::uint32_t>(info.external_fa));
        platform::CalendarTime dosTime;
        dosTime.year = static_cast<int>(info.tmu_date.tm_year);
        dosTime.month = static_cast<int>(info.tmu_date.tm_mon) + 1;
        dosTime.day = static_cast<int>(info.tmu_date.tm_mday);
        dosTime.hour = static_cast<int>(info.tmu_date.tm_hour);
        dosTime.minute = static_cast<int>(info.tmu_date.tm_min);
        dosTime.second = static_cast<int>(info.tmu_date.tm_sec);
        const platform::FileTimes times = EntryTimes(dosTime, extra);

        // A name that ends in a separator is a directory whatever its attributes say.
        const bool directory = (attributes & platform::kAttrDirectory) != 0 || EndsWithPathSeparator(cleaned);
        if (directory) {
            const GbString relative = ContainedPath(cleaned);
            // A directory below a link that leads elsewhere would be made there.
            if (relative.IsEmpty() || (platform::StaysWithin(root + relative.str(), root) &&
                                       platform::MakeDirectories(root + relative.str()))) {
                ++summary.directories;
            } else {
                fail();
            }
            continue;
        }

        const std::vector<std::string> parts = SplitParts(cleaned);
        const std::string& fileName = parts.back();
        if (fileName.empty() || fileName == "." || fileName == "..") {
            fail();
            continue;
        }
        const std::string target = base + fileName;
        if (!ExtractCurrentEntry(zip, target, buffer)) {
            fail();
            continue;
        }
        platform::SetFileTimes(target, times);
        platform::SetFileAttributeBits(target, attributes & ~platform::kAttrDirectory);
        ++summary.files;
    }
    unzClose(zip);
    return summary;
}

}  // namespace quillax
