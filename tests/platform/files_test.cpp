#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/environment.h"
#include "temp_dir.h"

namespace quillax::platform {
namespace {

using testing::TempDir;

std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : ListDirectory(directory)) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, WholeFileRoundTripAndMissingFiles) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string path = dir / "bible.ini";
    const std::string bytes = std::string("[config]\r\nUSEGBK=1\r\n") + '\0' + "\xFF\x80tail";

    EXPECT_FALSE(ReadWholeFile(path).has_value());
    EXPECT_FALSE(FileExists(path));
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(DirectoryExists(path));
    EXPECT_EQ(FileSize(path), bytes.size());

    // Replacing with less and with nothing leaves exactly the new bytes.
    ASSERT_TRUE(WriteWholeFile(path, "short"));
    EXPECT_EQ(ReadWholeFile(path), "short");
    ASSERT_TRUE(WriteWholeFile(path, ""));
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(FileSize(path), 0u);

    // A directory is not a file: it cannot be read, replaced or deleted as one.
    EXPECT_FALSE(ReadWholeFile(dir.path()).has_value());
    EXPECT_FALSE(WriteWholeFile(dir.path(), "x"));
    EXPECT_FALSE(RemoveFile(dir.path()));
    EXPECT_FALSE(FileSize(dir.path()).has_value());
    // No directory to write into.
    EXPECT_FALSE(WriteWholeFile(dir / "missing\\file.txt", "x"));

    // Only the file is left: no temporary files behind.
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"bible.ini"});
}

TEST(Files, FailedWriteLeavesOldFileIntact) {
    TempDir dir;
    const std::string path = dir / "index.inx";
    const std::string old = "old content that must survive";
    ASSERT_TRUE(WriteWholeFile(path, old));

    // The same with and without the flush to disk.
    for (const DiskFlush flush : {DiskFlush::Flushed, DiskFlush::Skipped}) {
        for (const WriteFault fault : {WriteFault::DuringWrite, WriteFault::BeforeRename}) {
            SetWriteFault(fault);
            const bool written = WriteWholeFile(path, std::string(100000, 'n'), flush);
            SetWriteFault(WriteFault::None);
            EXPECT_FALSE(written);
            EXPECT_EQ(ReadWholeFile(path), old);
            EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"index.inx"})
                << "the temporary file was left behind";
        }
    }
    ASSERT_TRUE(WriteWholeFile(path, "unflushed", DiskFlush::Skipped));
    EXPECT_EQ(ReadWholeFile(path), "unflushed");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"index.inx"});
    // A new file that fails is not created at all.
    SetWriteFault(WriteFault::DuringWrite);
    EXPECT_FALSE(WriteWholeFile(dir / "new.txt", "abcdef"));
    SetWriteFault(WriteFault::None);
    EXPECT_FALSE(PathExists(dir / "new.txt"));

    ASSERT_TRUE(WriteWholeFile(path, "new"));
    EXPECT_EQ(ReadWholeFile(path), "new");
}

TEST(Files, ReadOnlyFilesAreNeitherReplacedNorDeleted) {
    TempDir dir;
    const std::string path = dir / "sys.inx";
    ASSERT_TRUE(WriteWholeFile(path, "index"));
    EXPECT_FALSE(IsReadOnly(path));
    ASSERT_TRUE(SetReadOnly(path, true));
    EXPECT_TRUE(IsReadOnly(path));
    const auto attributes = GetFileAttributeBits(path);
    ASSERT_TRUE(attributes.has_value());
    EXPECT_NE(*attributes & kAttrReadOnly, 0u);
    EXPECT_EQ(*attributes & kAttrDirectory, 0u);

    EXPECT_FALSE(WriteWholeFile(path, "replaced"));
    EXPECT_FALSE(RemoveFile(path));
    EXPECT_EQ(ReadWholeFile(path), "index");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"sys.inx"});

    // Normal attributes (0 or kAttrNormal) make it writable again.
    ASSERT_TRUE(SetFileAttributeBits(path, kAttrNormal));
    EXPECT_FALSE(IsReadOnly(path));
    EXPECT_TRUE(WriteWholeFile(path, "replaced"));
    EXPECT_TRUE(RemoveFile(path));
    EXPECT_FALSE(PathExists(path));
    EXPECT_FALSE(GetFileAttributeBits(path).has_value());
}

TEST(Files, DirectoriesAndListing) {
    TempDir dir;
    const std::string deep = dir / "a\\b\\c";
    EXPECT_FALSE(DirectoryExists(deep));
    ASSERT_TRUE(MakeDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    EXPECT_TRUE(MakeDirectories(deep));  // already there
    EXPECT_EQ(GetFileAttributeBits(dir / "a"), kAttrDirectory);

    ASSERT_TRUE(WriteWholeFile(dir / "a\\file.txt", "1"));
    const std::vector<DirectoryEntry> entries = ListDirectory(dir / "a");
    ASSERT_EQ(entries.size(), 2u);
    for (const DirectoryEntry& entry : entries) {
        if (entry.name == "b") {
            EXPECT_EQ(entry.attributes, kAttrDirectory);
        } else {
            EXPECT_EQ(entry.name, "file.txt");
            EXPECT_EQ(entry.attributes & kAttrDirectory, 0u);
        }
    }
    EXPECT_TRUE(ListDirectory(dir / "nothing").empty());

    EXPECT_FALSE(RemoveEmptyDirectory(dir / "a\\b"));  // not empty
    EXPECT_TRUE(RemoveEmptyDirectory(deep));
    EXPECT_TRUE(RemoveEmptyDirectory(dir / "a\\b"));
    EXPECT_FALSE(PathExists(dir / "a\\b"));
}

// A name from outside (a page, a manifest) may hold a 0 byte; the system would cut the name
// there, so "m.inx\0.txt" would read m.inx. Such a path reaches no file at all.
TEST(Files, PathsWithAZeroByteReachNoFile) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    ASSERT_TRUE(MakeDirectories(dir / "sub"));
    ASSERT_TRUE(WriteWholeFile(dir / "m.inx", "index"));
    const std::string cut = std::string("\0", 1);

    EXPECT_FALSE(ReadWholeFile(dir / ("m.inx" + cut + ".txt")).has_value());
    EXPECT_FALSE(FileExists(dir / ("m.inx" + cut + "x")));
    EXPECT_FALSE(FileSize(dir / ("m.inx" + cut)).has_value());
    EXPECT_FALSE(GetFileAttributeBits(dir / ("m.inx" + cut)).has_value());
    EXPECT_FALSE(DirectoryExists(dir / ("sub" + cut + "x")));
    EXPECT_TRUE(ListDirectory(dir / ("sub" + cut + "x")).empty());
    EXPECT_FALSE(WriteWholeFile(dir / ("m.inx" + cut + ".bak"), "new"));
    EXPECT_FALSE(MakeDirectories(dir / ("new" + cut + "x")));
    EXPECT_FALSE(RenamePath(dir / ("m.inx" + cut), dir / "moved", true));
    EXPECT_FALSE(CopyFileTo(dir / "m.inx", dir / ("m.inx" + cut + ".copy"), false));
    EXPECT_FALSE(RemoveFile(dir / ("m.inx" + cut + ".txt")));

    // Nothing was changed: the file keeps its bytes and no other name appeared.
    EXPECT_EQ(ReadWholeFile(dir / "m.inx"), std::string("index"));
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"m.inx", "sub"}));
}

// Several programs create the same name at once (a lock file): exactly one of them gets it,
// and what is already there is never touched.
TEST(Files, CreateNewFileTakesANameOnlyOnce) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string lock = dir / "bible.ini.lock";
    EXPECT_EQ(CreateNewFile(lock, "101\r\n"), NewFileResult::Created);
    EXPECT_EQ(ReadWholeFile(lock), std::string("101\r\n"));
    EXPECT_EQ(CreateNewFile(lock, "202\r\n"), NewFileResult::Exists);
    EXPECT_EQ(CreateNewFile(dir / "BIBLE.INI.LOCK", "303\r\n"), NewFileResult::Exists);
    EXPECT_EQ(ReadWholeFile(lock), std::string("101\r\n"));
    ASSERT_TRUE(MakeDirectories(dir / "sub"));
    EXPECT_EQ(CreateNewFile(dir / "sub", "x"), NewFileResult::Exists);
    EXPECT_EQ(CreateNewFile(dir / "missing\\a.lock", "x"), NewFileResult::Failed);
    EXPECT_EQ(CreateNewFile(dir / ("a.lock" + std::string("\0", 1)), "x"), NewFileResult::Failed);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"bible.ini.lock", "sub"}));

    // Eight threads try the same new name at once, many times over: one wins every round.
    const std::string contested = dir / "contested.lock";
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> created{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&created, &contested, t] {
                if (CreateNewFile(contested, std::to_string(t)) == NewFileResult::Created) {
                    created.fetch_add(1);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(created.load(), 1) << "round " << round;
        const auto winner = ReadWholeFile(contested);
        ASSERT_TRUE(winner.has_value());
        EXPECT_EQ(winner->size(), 1u);
        ASSERT_TRUE(RemoveFile(contested));
    }
}

TEST(Files, RenameAndCopy) {
    TempDir dir;
    const std::string a = dir / "a.upg";
    const std::string b = dir / "b.zip";
    ASSERT_TRUE(WriteWholeFile(a, "download"));
    ASSERT_TRUE(WriteWholeFile(b, "old"));

    EXPECT_FALSE(RenamePath(a, b));  // the target exists
    EXPECT_EQ(ReadWholeFile(b), "old");
    EXPECT_TRUE(RenamePath(a, b, true));
    EXPECT_EQ(ReadWholeFile(b), "download");
    EXPECT_FALSE(PathExists(a));
    EXPECT_FALSE(RenamePath(a, dir / "c"));  // no source

    const std::string copy = dir / "copy.zip";
    FileTimes times;
    times.lastWrite = FileTimeFromUnixSeconds(1154118359);  // 2006-07-28 20:25:59 UTC
    ASSERT_TRUE(SetFileTimes(b, times));
    ASSERT_TRUE(CopyFileTo(b, copy, true));
    EXPECT_EQ(ReadWholeFile(copy), "download");
    const auto copied = GetFileTimes(copy);
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(copied->lastWrite, times.lastWrite);

    ASSERT_TRUE(WriteWholeFile(a, "other"));
    EXPECT_FALSE(CopyFileTo(a, copy, true));
    EXPECT_EQ(ReadWholeFile(copy), "download");
    EXPECT_TRUE(CopyFileTo(a, copy, false));
    EXPECT_EQ(ReadWholeFile(copy), "other");
    EXPECT_FALSE(CopyFileTo(dir / "none", copy, false));
    EXPECT_EQ(ReadWholeFile(copy), "other");
}

TEST(Files, NamesMatchWithoutRegardToCase) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectories(dir / "Sys"));
    ASSERT_TRUE(WriteWholeFile(dir / "Sys\\Tessaly.txt", "text"));

    // "sys\Tessaly" and "tessaly" name one file, in every spelling.
    EXPECT_EQ(ReadWholeFile(dir / "sys\\tessaly.txt"), "text");
    EXPECT_EQ(ReadWholeFile(dir / "SYS\\TESSALY.TXT"), "text");
    EXPECT_TRUE(FileExists(dir / "sYs\\tESSALY.txt"));
    EXPECT_TRUE(DirectoryExists(dir / "SYS"));

    // Writing through another spelling replaces that file, it does not add one.
    ASSERT_TRUE(WriteWholeFile(dir / "SYS\\tessaly.TXT", "new"));
    EXPECT_EQ(Names(dir / "Sys"), std::vector<std::string>{"Tessaly.txt"});
    EXPECT_EQ(ReadWholeFile(dir / "Sys\\Tessaly.txt"), "new");

    // A new file goes into the existing directory under the name as given.
    ASSERT_TRUE(WriteWholeFile(dir / "SYS\\Corpa.inx", "x"));
    EXPECT_EQ(Names(dir / "Sys"), (std::vector<std::string>{"Corpa.inx", "Tessaly.txt"}));
    ASSERT_TRUE(MakeDirectories(dir / "sys\\New\\Deeper"));
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"Sys"});
    EXPECT_EQ(Names(dir / "Sys\\New"), std::vector<std::string>{"Deeper"});

    // Deleting and renaming work through other spellings too; "/" separates as "\" does.
    EXPECT_TRUE(RenamePath(dir / "sys\\corpa.INX", dir / "Sys\\Corpa.old"));
    EXPECT_TRUE(RemoveFile(dir / "SYS/CORPA.OLD"));
    EXPECT_EQ(Names(dir / "Sys"), (std::vector<std::string>{"New", "Tessaly.txt"}));
}

TEST(Files, ChineseNames) {
    if (AnsiCodePage() != 936) {
        GTEST_SKIP() << "file names are not GBK here (ANSI code page " << AnsiCodePage() << ")";
    }
    TempDir dir;
    // "禱" ends in the byte 0x5C, a backslash: it is part of the name, not a separator.
    const std::string folder = dir / "禱告";
    ASSERT_TRUE(MakeDirectories(folder + "\\随笔"));
    ASSERT_TRUE(WriteWholeFile(folder + "\\随笔\\門.htm", "page"));
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"禱告"});
    EXPECT_EQ(Names(folder + "\\随笔"), std::vector<std::string>{"門.htm"});
    EXPECT_EQ(ReadWholeFile(folder + "\\随笔\\門.HTM"), "page");
    // Bytes that are no GBK text still name a file of their own.
    ASSERT_TRUE(WriteWholeFile(dir / "bad\xFF.txt", "raw"));
    EXPECT_EQ(ReadWholeFile(dir / "bad\xFF.txt"), "raw");
}

TEST(Files, CurrentDirectoryAndRelativePaths) {
    TempDir dir;
    const std::string start = CurrentDirectory();
    ASSERT_FALSE(start.empty());
    ASSERT_TRUE(MakeDirectories(dir / "cfg"));
    ASSERT_TRUE(ChangeDirectory(dir / "cfg"));
    ASSERT_TRUE(WriteWholeFile("bible.ini", "USEGBK=0"));
    EXPECT_TRUE(MakeDirectories("sys\\sub"));
    EXPECT_EQ(ReadWholeFile(dir / "cfg\\bible.ini"), "USEGBK=0");
    EXPECT_TRUE(DirectoryExists(dir / "cfg\\sys\\sub"));
    EXPECT_TRUE(ChangeDirectory(".."));
    EXPECT_EQ(ReadWholeFile("cfg\\bible.ini"), "USEGBK=0");
    EXPECT_FALSE(ChangeDirectory(dir / "none"));
    ASSERT_TRUE(ChangeDirectory(start));
    EXPECT_EQ(CurrentDirectory(), start);
}

TEST(Files, TimesAndConversions) {
    // 1970-01-01 in FILETIME units, and back.
    EXPECT_EQ(FileTimeFromUnixSeconds(0), 116444736000000000ull);
    EXPECT_EQ(UnixSecondsFromFileTime(116444736000000000ull), 0);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeFromUnixSeconds(1154118359)), 1154118359);
    EXPECT_EQ(FileTimeFromUnixSeconds(-20000000000), 0u);  // before 1601: no time

    TempDir dir;
    const std::string path = dir / "f.txt";
    ASSERT_TRUE(WriteWholeFile(path, "x"));
    const auto before = GetFileTimes(path);
    ASSERT_TRUE(before.has_value());
    EXPECT_NE(before->lastWrite, 0u);

    FileTimes times;
    times.lastWrite = FileTimeFromUnixSeconds(1154118359) + 1234500;  // with a fraction
    times.lastAccess = FileTimeFromUnixSeconds(1000000000);
    ASSERT_TRUE(SetFileTimes(path, times));
    const auto after = GetFileTimes(path);
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->lastWrite, times.lastWrite);
    EXPECT_EQ(after->lastAccess, times.lastAccess);

    // A zero field leaves that time alone.
    FileTimes onlyAccess;
    onlyAccess.lastAccess = FileTimeFromUnixSeconds(1100000000);
    ASSERT_TRUE(SetFileTimes(path, onlyAccess));
    EXPECT_EQ(GetFileTimes(path)->lastWrite, times.lastWrite);
    EXPECT_FALSE(GetFileTimes(dir / "none").has_value());
    EXPECT_FALSE(SetFileTimes(dir / "none", times));

    // Local time: a whole-second time survives the way there and back.
    const FileTime t = FileTimeFromUnixSeconds(1154118359);
    const auto local = FileTimeToLocal(t);
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(local->year, 2006);
    EXPECT_EQ(local->second, 59);
    EXPECT_EQ(LocalToFileTime(*local), t);
    EXPECT_FALSE(LocalToFileTime(CalendarTime{2006, 13, 1, 0, 0, 0}).has_value());
}

}  // namespace
}  // namespace quillax::platform
