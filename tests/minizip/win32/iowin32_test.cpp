// The Windows build also carries minizip's Win32 file functions (CreateFile and friends instead
// of the C runtime's fopen): an archive opened through them reads the same.
#include "minizip/zip_writer.h"

#include <gtest/gtest.h>
#include <unzip.h>
// iowin32.h uses the types of ioapi.h (which unzip.h includes) without including it.
#include <iowin32.h>

#include <cstdio>
#include <string>

namespace quillax {
namespace {

TEST(UnzipWin32, OpensAndReadsThroughWin32FileFunctions) {
    const std::string data = "TXTSYSPTH=sys\\\r\nUPDATEURL=http://127.0.0.1/\r\n";
    const std::string path = ::testing::TempDir() + "quillax_unzip_win32.zip";
    ASSERT_TRUE(testzip::WriteFile(path, testzip::BuildZip({{"cfg/bible.ini", data, true, 0, 0, 20}})));

    zlib_filefunc64_def functions{};
    fill_win32_filefunc64A(&functions);
    unzFile zip = unzOpen2_64(path.c_str(), &functions);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(unzLocateFile(zip, "CFG/BIBLE.INI", 2), UNZ_OK);  // 2: case-insensitive
    ASSERT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
    char buffer[256] = {};
    const int got = unzReadCurrentFile(zip, buffer, sizeof buffer);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), data);
    EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK);
    EXPECT_EQ(unzClose(zip), UNZ_OK);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace quillax
