// Unpacking a downloaded ZIP archive into the installation.
//
// File entries are written flat into the base directory (only the part of the name after its
// last "/" or "\" counts); directory entries are created, with their parents, under the
// working directory of the moment. Entry names are cleaned first, so that no entry can reach
// outside these two directories: drive prefixes, leading separators and everything up to a
// "\..\" (in any mix of separators) are dropped, and of what is left every "." or ".." part
// is dropped as well.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "textlib/gb_string.h"

namespace quillax {

// Archive entries are inflated in units of this many bytes.
constexpr int kExtractUnit = 16384;
// Entry names longer than this are cut to it.
constexpr int kEntryNameLimit = 260;

// The entry name with the leading parts that could leave the target removed: repeatedly a
// drive prefix (a character and ":"), a leading "/" or "\", or everything up to and including
// the first "\..\", "\../", "/../" or "/..\".
GbString CleanEntryName(std::string_view name);

// The cleaned name as a relative path that stays below its directory: parts that are empty,
// "." or ".." are dropped, so is a drive ("A:") at the front of the first part kept, and the
// rest is joined with "\".
GbString ContainedPath(std::string_view cleanedName);

// The file attributes (platform kAttr... bits) of an entry. Hosts 0, 7, 11 and 14 (FAT,
// Macintosh, NTFS, VFAT) keep read-only, hidden, system, directory and archive in bits 0, 1,
// 2, 4 and 5 of the external attributes; for other hosts bit 30 marks a directory, a clear
// bit 23 (owner may not write) a read-only file, and the archive bit is always set.
std::uint32_t EntryAttributes(std::uint16_t versionMadeBy, std::uint32_t externalAttributes);

// The times of an entry: its DOS date and time (local time), replaced by the times of an
// extended-timestamp block ("UT") of the extra field when it holds them (flag bits 0, 1, 2:
// last write, last access, creation, as 32-bit seconds since 1970 UTC, in that order; a time
// the block announces but does not hold is not used).
platform::FileTimes EntryTimes(const platform::CalendarTime& dosLocalTime,
                               std::string_view extraField);

struct ExtractSummary {
    bool opened = false;  // the archive could be read
    int files = 0;        // file entries written
    int directories = 0;  // directory entries created
    int failed = 0;       // entries that could not be unpacked (the others still are)
    std::vector<GbString> failedNames;  // their names as the archive gives them
};

// Unpacks every entry of the archive. baseDirectory ends in a separator or is empty (the
// working directory). A failing entry (file in use, a name the file system cannot hold, write
// error, damaged data, a directory below a link that leads out of the working directory)
// leaves its target as it was and does not stop the others; the summary names it.
ExtractSummary ExtractArchive(std::string_view archivePath, std::string_view baseDirectory);

}  // namespace quillax
