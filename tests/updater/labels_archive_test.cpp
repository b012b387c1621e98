// Version and date labels, and the unpacking of update archives.
#include <gtest/gtest.h>

#include <algorithm>

#include "updater/archive.h"
#include "updater/labels.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

using testing::BuildZip;
using testing::DosDateTime;
using testing::FileBytes;
using testing::ScratchDir;
using testing::WriteFileBytes;
using testing::ZipEntry;

TEST(Labels, VersionAndDateTexts) {
    EXPECT_EQ(VersionLabelFromFileVersion("2006,07,28,2025"), "Build 2006.07.28 20:25");
    // Only the third comma becomes a blank; blanks of the resource text stay.
    EXPECT_EQ(VersionLabelFromFileVersion("2006, 10, 1, 800"), "Build 2006. 10. 1  8:00");
    EXPECT_EQ(VersionLabelFromFileVersion("1,2,3,4,5"), "Build 1.2.3 4:,5");
    EXPECT_EQ(VersionLabelFromFileVersion(""), "");
    // Ordinal comparison: a later build is greater, 1.10 is smaller than 1.9, anything is
    // greater than the empty label.
    EXPECT_TRUE(GbString("Build 2006.10.01 08:00").Greater("Build 2006.07.28 20:25"));
    EXPECT_TRUE(GbString("1.10").Less("1.9"));
    EXPECT_TRUE(GbString("x").Greater(""));

    platform::CalendarTime local;
    local.year = 99;
    local.month = 1;
    local.day = 2;
    local.hour = 3;
    local.minute = 4;
    EXPECT_EQ(FileDateLabelFromLocal(local), "  99-01-02 03:04");

    ScratchDir scratch;
    const std::string file = scratch / "notes.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    // Seconds are cut, not rounded.
    ASSERT_TRUE(testing::SetLocalWriteTime(file, {2006, 7, 28, 20, 25, 59}));
    EXPECT_EQ(ReadFileDateLabel(file), "2006-07-28 20:25");
    EXPECT_EQ(ReadFileDateLabel(scratch / "missing.txt"), "");
    EXPECT_EQ(ReadVersionLabel(file), "");  // no version information
    EXPECT_EQ(ReadVersionLabel(scratch / "missing.exe"), "");
}

TEST(Archive, EntryNamesAreCleaned) {
    EXPECT_EQ(CleanEntryName("doc/help/a.txt"), "doc/help/a.txt");
    EXPECT_EQ(CleanEntryName("..\\..\\windows\\x.dll"), "windows\\x.dll");
    EXPECT_EQ(CleanEntryName("a\\..\\..\\windows\\x.dll"), "..\\windows\\x.dll");
    EXPECT_EQ(CleanEntryName("C:\\windows\\system32\\x.dll"), "windows\\system32\\x.dll");
    EXPECT_EQ(CleanEntryName("/etc/cron.d/x"), "etc/cron.d/x");
    EXPECT_EQ(CleanEntryName("\\\\server\\share\\x"), "server\\share\\x");
    EXPECT_EQ(CleanEntryName("c:d:/x/../../y"), "../y");
    EXPECT_EQ(CleanEntryName("a/..\\b/../c\\../d"), "d");
    // What cleaning leaves is made a contained relative path.
    EXPECT_EQ(ContainedPath(CleanEntryName("../../etc/x/")), "etc\\x");
    EXPECT_EQ(ContainedPath("..\\.\\a//b\\.."), "a\\b");
    EXPECT_EQ(ContainedPath(".."), "");
    // A drive that "." and ".." parts left at the front is dropped, not kept as a root.
    EXPECT_EQ(ContainedPath("..\\A:/aq"), "aq");
    EXPECT_EQ(ContainedPath(".\\c:d:\\x"), "x");
}

TEST(Archive, AttributesByHostAndTimes) {
    // FAT (0), Macintosh (7), NTFS (11), VFAT (14): the DOS bits, nothing else.
    for (const int host : {0, 7, 11, 14}) {
        EXPECT_EQ(EntryAttributes(static_cast<std::uint16_t>(host << 8 | 20), 0xFFFFFFC0u | 0x37u), 0x37u);
    }
    // Unix (3) and others: bit 30 directory, clear bit 23 read-only, archive always.
    EXPECT_EQ(EntryAttributes(3 << 8 | 30, 0x41ED0000u), platform::kAttrDirectory | platform::kAttrArchive);
    EXPECT_EQ(EntryAttributes(3 << 8 | 30, 0x81A40000u), platform::kAttrArchive);
    EXPECT_EQ(EntryAttributes(3 << 8 | 30, 0x81240000u), platform::kAttrReadOnly | platform::kAttrArchive);
    EXPECT_EQ(EntryAttributes(19 << 8, 0x37u), platform::kAttrReadOnly | platform::kAttrArchive);

    const platform::CalendarTime dos{2006, 7, 28, 20, 24, 58};
    const platform::FileTime dosTime = platform::LocalToFileTime(dos).value_or(0);
    ASSERT_NE(dosTime, 0u);
    platform::FileTimes times = EntryTimes(dos, "");
    EXPECT_EQ(times.lastWrite, dosTime);
    EXPECT_EQ(times.lastAccess, dosTime);
    EXPECT_EQ(times.creation, dosTime);

    // A "UT" block after another block: write, access and creation time in that order.
    const std::string other = std::string("\x0a\x00\x04\x00", 4) + "abcd";
    times = EntryTimes(dos, other + testing::TimestampExtra(7, {1000000000, 1100000000, 900000000}));
    EXPECT_EQ(times.lastWrite, platform::FileTimeFromUnixSeconds(1000000000));
    EXPECT_EQ(times.lastAccess, platform::FileTimeFromUnixSeconds(1100000000));
    EXPECT_EQ(times.creation, platform::FileTimeFromUnixSeconds(900000000));
    // Only the access time.
    times = EntryTimes(dos, testing::TimestampExtra(2, {1100000000}));
    EXPECT_EQ(times.lastWrite, dosTime);
    EXPECT_EQ(times.lastAccess, platform::FileTimeFromUnixSeconds(1100000000));
    // A central-directory block announces all three times but holds the first only.
    times = EntryTimes(dos, testing::TimestampExtra(7, {1000000000}));
    EXPECT_EQ(times.lastWrite, platform::FileTimeFromUnixSeconds(1000000000));
    EXPECT_EQ(times.lastAccess, dosTime);
    EXPECT_EQ(times.creation, dosTime);
    // A block cut short by the end of the field changes nothing it does not hold.
    times = EntryTimes(dos, testing::TimestampExtra(1, {1000000000}).substr(0, 7));
    EXPECT_EQ(times.lastWrite, dosTime);
}

TEST(Archive, FilesAreFlattenedIntoTheTargetAndDirectoriesMadeUnderTheWorkingDirectory) {
    ScratchDir scratch;
    const std::string work = scratch / "work";
    const std::string target = scratch / "target\\";
    ASSERT_TRUE(platform::MakeDirectories(work));
    ASSERT_TRUE(platform::MakeDirectories(target));
    const std::string big(100000, 'q');  // several units of the inflate buffer
    const std::string archive = scratch / "update.zip";
    ASSERT_TRUE(WriteFileBytes(archive, BuildZip({
        {"doc/", "", false, DosDateTime(2006, 7, 28, 20, 24, 0), 0x10},
        {"doc/help/", "", false, DosDateTime(2006, 7, 28, 20, 24, 0), 0x10},
        {"doc/help/a.txt", "hello", true, DosDateTime(2006, 7, 28, 20, 24, 58), 0x20},
        {"big.bin", big, true, DosDateTime(2007, 1, 2, 3, 4, 6), 0x01},
        {"unix/tool", "#!", false, DosDateTime(2007, 1, 2, 3, 4, 6), 0x81A40000u, 3 << 8 | 30,
         testing::TimestampExtra(1, {1200000000})},
        {"unixdir/", "", false, 0, 0x41ED0000u, 3 << 8 | 30},
    })));

    ExtractSummary summary;
    {
        testing::WorkingDirectoryScope scope(work);
        summary = ExtractArchive(archive, target);
    }
    EXPECT_TRUE(summary.opened);
    EXPECT_EQ(summary.files, 3);
    EXPECT_EQ(summary.directories, 3);
    EXPECT_EQ(summary.failed, 0);
    EXPECT_EQ(FileBytes(target + "a.txt"), "hello");
    EXPECT_EQ(FileBytes(target + "big.bin"), big);
    EXPECT_EQ(FileBytes(target + "tool"), "#!");
    EXPECT_FALSE(platform::PathExists(target + "doc"));
    EXPECT_TRUE(platform::DirectoryExists(work + "\\doc\\help"));
    EXPECT_TRUE(platform::DirectoryExists(work + "\\unixdir"));
    EXPECT_TRUE(platform::IsReadOnly(target + "big.bin"));
    EXPECT_FALSE(platform::IsReadOnly(target + "a.txt"));
    EXPECT_EQ(ReadFileDateLabel(target + "a.txt"), "2006-07-28 20:24");
    const auto toolTimes = platform::GetFileTimes(target + "tool");
    ASSERT_TRUE(toolTimes);
    EXPECT_EQ(platform::UnixSecondsFromFileTime(toolTimes->lastWrite), 1200000000);

    // Unpacking again replaces what is writable; the read-only file keeps its old bytes.
    ASSERT_TRUE(WriteFileBytes(archive, BuildZip({{"a.txt", "second"}, {"big.bin", "second"}})));
    {
        testing::WorkingDirectoryScope scope(work);
        summary = ExtractArchive(archive, target);
    }
    EXPECT_EQ(summary.files, 1);
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(FileBytes(target + "a.txt"), "second");
    EXPECT_EQ(FileBytes(target + "big.bin"), big);
}

TEST(Archive, HostileNamesStayInsideTheTargetAndWorkingDirectories) {
    ScratchDir scratch;
    const std::string work = scratch / "inst\\work";
    const std::string target = scratch / "inst\\target\\";
    ASSERT_TRUE(platform::MakeDirectories(work));
    ASSERT_TRUE(platform::MakeDirectories(target));
    const std::string archive = scratch / "hostile.zip";
    ASSERT_TRUE(WriteFileBytes(archive, BuildZip({
        {"..\\..\\windows\\x.dll", "1"},
        {"../../../../../../../../tmp/escape1.txt", "2"},
        {"/etc/escape2.txt", "3"},
        {"C:\\escape3.txt", "4"},
        {"C:escape4.txt", "5"},
        {"ok/../../escape5.txt", "6"},
        {"../../up/", "", false, 0, 0x10},
        {"..\\..\\up2\\", "", false, 0, 0x10},
        {"..", "7"},
        {"dir/..", "8"},
    })));
    ExtractSummary summary;
    {
        testing::WorkingDirectoryScope scope(work);
        summary = ExtractArchive(archive, target);
    }
    EXPECT_EQ(summary.files, 6);
    EXPECT_EQ(summary.failed, 2);  // ".." names no file
    EXPECT_EQ(FileBytes(target + "x.dll"), "1");
    EXPECT_EQ(FileBytes(target + "escape1.txt"), "2");
    EXPECT_EQ(FileBytes(target + "escape2.txt"), "3");
    EXPECT_EQ(FileBytes(target + "escape3.txt"), "4");
    EXPECT_EQ(FileBytes(target + "escape4.txt"), "5");
    EXPECT_EQ(FileBytes(target + "escape5.txt"), "6");
    EXPECT_TRUE(platform::DirectoryExists(work + "\\up"));
    EXPECT_TRUE(platform::DirectoryExists(work + "\\up2"));
    // Nothing outside: the installation holds just the two directories.
    std::vector<std::string> names;
    for (const auto& entry : platform::ListDirectory(scratch / "inst")) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"target", "work"}));
    EXPECT_FALSE(platform::PathExists(scratch / "windows"));
    EXPECT_FALSE(platform::PathExists(scratch / "up"));
}

TEST(Archive, DamagedEntriesAreSkippedAndTheRestUnpacked) {
    ScratchDir scratch;
    const std::string target = scratch.dir();
    ASSERT_TRUE(WriteFileBytes(target + "bad.txt", "old"));
    const std::string archive = scratch / "damaged.zip";
    // Entries of many inflate units: the damaged one is found out only at its end, after its
    // temporary file has been written.
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    }
    ASSERT_TRUE(WriteFileBytes(archive, BuildZip({{"bad.txt", std::string(100000, 'b'), true},
                                                  {"good.txt", "good"},
                                                  {"big.txt", big, true}},
                                                 "bad.txt")));
    ExtractSummary summary;
    {
        testing::WorkingDirectoryScope scope(scratch.dir());
        summary = ExtractArchive(archive, target);
    }
    EXPECT_EQ(summary.failed, 1);
    EXPECT_EQ(summary.files, 2);
    EXPECT_EQ(FileBytes(target + "bad.txt"), "old");
    EXPECT_EQ(FileBytes(target + "good.txt"), "good");
    EXPECT_TRUE(FileBytes(target + "big.txt") == big);
    std::vector<std::string> names;
    for (const auto& entry : platform::ListDirectory(target)) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad.txt", "big.txt", "damaged.zip", "good.txt"}))
        << "no temporary file is left";

    // Not an archive at all, or no file: nothing happens.
    ASSERT_TRUE(WriteFileBytes(archive, "<html>404</html>"));
    EXPECT_FALSE(ExtractArchive(archive, target).opened);
    EXPECT_FALSE(ExtractArchive(scratch / "missing.zip", target).opened);
}

}  // namespace
}  // namespace quillax
