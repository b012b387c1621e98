// The unzip library as both builds link it (Debian's libminizip on Linux, minizip compiled from
// Debian's source for Windows): it must give back every entry, its information and its bytes,
// and report damaged archives instead of returning wrong data.
#include "minizip/zip_writer.h"

#include <gtest/gtest.h>
#include <unzip.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillax {
namespace {

constexpr std::uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    const auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return (date << 16) | time;
}

std::string TempPath(const char* name) {
    return ::testing::TempDir() + "quillax_unzip_" + name;
}

// Reads the current entry through a small buffer, so that long entries take several reads.
// Returns the bytes and the result of closing the entry (where the CRC is checked).
std::string ReadCurrent(unzFile zip, int* closeResult) {
    std::string data;
    char buffer[1000];
    int got = 0;
    while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
        data.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(got, 0) << "read error " << got;
    *closeResult = unzCloseCurrentFile(zip);
    return data;
}

std::string LongText() {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "起初神创造天地。" + std::to_string(i) + "\r\n";
    }
    return text;
}

TEST(Unzip, GivesBackEveryEntryWithItsInformationAndBytes) {
    const std::vector<testzip::Entry> entries = {
        {"readme.txt", "hello\r\n", false, DosDateTime(2024, 3, 15, 13, 45, 30), 0x20, 20},
        {"sys/Corpa.txt", LongText(), true, DosDateTime(1999, 12, 31, 23, 59, 58), 0x21, 0x0B14},
        {"empty.ini", "", false, DosDateTime(1980, 1, 1, 0, 0, 0), 0, 20},
    };
    const std::string path = TempPath("entries.zip");
    ASSERT_TRUE(testzip::WriteFile(path, testzip::BuildZip(entries)));

    unzFile zip = unzOpen(path.c_str());
    ASSERT_NE(zip, nullptr);
    unz_global_info global{};
    ASSERT_EQ(unzGetGlobalInfo(zip, &global), UNZ_OK);
    EXPECT_EQ(global.number_entry, entries.size());

    ASSERT_EQ(unzGoToFirstFile(zip), UNZ_OK);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const testzip::Entry& entry = entries[i];
        SCOPED_TRACE(entry.name);
        unz_file_info info{};
        char name[256] = {};
        ASSERT_EQ(unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0), UNZ_OK);
        EXPECT_EQ(std::string(name), entry.name);
        EXPECT_EQ(info.uncompressed_size, entry.data.size());
        EXPECT_EQ(info.compression_method, entry.deflate ? 8u : 0u);
        EXPECT_EQ(info.dosDate, entry.dosDateTime);
        EXPECT_EQ(info.external_fa, entry.externalAttributes);
        EXPECT_EQ(info.version, entry.versionMadeBy);
        if (entry.deflate) {
            EXPECT_LT(info.compressed_size, info.uncompressed_size / 4);
        }

        ASSERT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
        int closeResult = -1;
        EXPECT_EQ(ReadCurrent(zip, &closeResult), entry.data);
        EXPECT_EQ(closeResult, UNZ_OK);

        const int next = unzGoToNextFile(zip);
        EXPECT_EQ(next, i + 1 < entries.size() ? UNZ_OK : UNZ_END_OF_LIST_OF_FILE);
    }

    // The DOS date and time come back split into their fields.
    ASSERT_EQ(unzGoToFirstFile(zip), UNZ_OK);
    unz_file_info first{};
    ASSERT_EQ(unzGetCurrentFileInfo(zip, &first, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
    EXPECT_EQ(first.tmu_date.tm_year, 2024u);
    EXPECT_EQ(first.tmu_date.tm_mon, 2u);
    EXPECT_EQ(first.tmu_date.tm_mday, 15u);
    EXPECT_EQ(first.tmu_date.tm_hour, 13u);
    EXPECT_EQ(first.tmu_date.tm_min, 45u);
    EXPECT_EQ(first.tmu_date.tm_sec, 30u);

    EXPECT_EQ(unzClose(zip), UNZ_OK);
    std::remove(path.c_str());
}

TEST(Unzip, ReportsDamagedOrMissingArchives) {
    const std::vector<testzip::Entry> entries = {
        {"good.txt", LongText(), true, DosDateTime(2020, 2, 29, 12, 0, 0), 0, 20},
        {"bad.txt", LongText(), true, DosDateTime(2020, 2, 29, 12, 0, 0), 0, 20},
    };
    const std::string archive = testzip::BuildZip(entries, "bad.txt");

    // An entry whose bytes do not match its recorded CRC is read, but closing it says so.
    const std::string path = TempPath("crc.zip");
    ASSERT_TRUE(testzip::WriteFile(path, archive));
    unzFile zip = unzOpen(path.c_str());
    ASSERT_NE(zip, nullptr);
    int closeResult = -1;
    ASSERT_EQ(unzLocateFile(zip, "good.txt", 1), UNZ_OK);
    ASSERT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
    ReadCurrent(zip, &closeResult);
    EXPECT_EQ(closeResult, UNZ_OK);
    ASSERT_EQ(unzLocateFile(zip, "bad.txt", 1), UNZ_OK);
    ASSERT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
    ReadCurrent(zip, &closeResult);
    EXPECT_EQ(closeResult, UNZ_CRCERROR);
    EXPECT_EQ(unzLocateFile(zip, "missing.txt", 1), UNZ_END_OF_LIST_OF_FILE);
    unzClose(zip);

    // Not an archive, a cut archive, no file at all: nothing opens.
    const std::string text = TempPath("text.zip");
    ASSERT_TRUE(testzip::WriteFile(text, "[Update]\r\nbible.ini=1\r\n"));
    EXPECT_EQ(unzOpen(text.c_str()), nullptr);
    const std::string cut = TempPath("cut.zip");
    ASSERT_TRUE(testzip::WriteFile(cut, archive.substr(0, archive.size() / 2)));
    EXPECT_EQ(unzOpen(cut.c_str()), nullptr);
    EXPECT_EQ(unzOpen(TempPath("does-not-exist.zip").c_str()), nullptr);

    std::remove(path.c_str());
    std::remove(text.c_str());
    std::remove(cut.c_str());
}

}  // namespace
}  // namespace quillax
