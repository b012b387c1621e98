#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/version_block_scan.h"
#include "resources/version/version_block.h"
#include "temp_dir.h"

namespace quillax::platform {
namespace {

std::string Block(const std::string& pairs) {
    return std::string(QUILLAX_VERSION_MARKER, QUILLAX_VERSION_MARKER_SIZE) + pairs +
           std::string(1, '\0') + std::string(QUILLAX_VERSION_END, QUILLAX_VERSION_END_SIZE);
}

std::string Pair(const std::string& key, const std::string& value) {
    return key + '\0' + value + '\0';
}

TEST(VersionInfo, FindsTheFirstWellFormedBlock) {
    const std::string good =
        Block(Pair("FileVersion", "2006,07,28,2025") + Pair("Comments", "ignored") +
              Pair("LegalCopyright", "版权所有 (C) ()"));
    const std::string noise("\x7F" "ELF\0\0garbage", 13);
    auto strings = FindVersionBlock(noise + good + noise);
    ASSERT_TRUE(strings.has_value());
    EXPECT_EQ(strings->fileVersion, "2006,07,28,2025");
    EXPECT_EQ(strings->legalCopyright, "版权所有 (C) ()");

    // Decoys before it: the marker alone (as a reader's own data holds it), a block without
    // pairs, one without its end, one whose text runs past the limit.
    const std::string marker(QUILLAX_VERSION_MARKER, QUILLAX_VERSION_MARKER_SIZE);
    const std::string decoys = marker + std::string(1, '\0') + Block("") +
                               marker + Pair("FileVersion", "1,1,1,1") + "no end" +
                               marker + std::string(QUILLAX_VERSION_TEXT_MAX + 1, 'x') + '\0';
    strings = FindVersionBlock(decoys + good);
    ASSERT_TRUE(strings.has_value());
    EXPECT_EQ(strings->fileVersion, "2006,07,28,2025");

    EXPECT_FALSE(FindVersionBlock(decoys).has_value());
    EXPECT_FALSE(FindVersionBlock("").has_value());
    // A marker at the very end, or cut inside a text.
    EXPECT_FALSE(FindVersionBlock(marker).has_value());
    EXPECT_FALSE(FindVersionBlock(good.substr(0, good.size() - 12)).has_value());

    // A block without the legal notice: that string is empty.
    strings = FindVersionBlock(Block(Pair("FileVersion", "1,2,3,4")));
    ASSERT_TRUE(strings.has_value());
    EXPECT_EQ(strings->fileVersion, "1,2,3,4");
    EXPECT_EQ(strings->legalCopyright, "");
}

TEST(VersionInfo, ReadsTheStringsOfABuiltLibrary) {
#if defined(QUILLAX_TEST_VERSION_PROBE) && defined(QUILLAX_TEST_EXECUTABLE)
    const auto strings = ReadVersionStrings(QUILLAX_TEST_VERSION_PROBE);
    ASSERT_TRUE(strings.has_value()) << QUILLAX_TEST_VERSION_PROBE;
    EXPECT_EQ(strings->fileVersion, "2006,07,28,2025");
    EXPECT_EQ(strings->legalCopyright, "Copyright () Tessaly Studio, \"quoted\" \\ end");

    // The test program has no version information, though its code holds the marker text.
    EXPECT_FALSE(ReadVersionStrings(QUILLAX_TEST_EXECUTABLE).has_value());
#else
    GTEST_SKIP() << "the probe library is not built (tests/platform/version_probe.cmake is not "
                    "included by tests/CMakeLists.txt)";
#endif
}

TEST(VersionInfo, FilesWithoutVersionInformation) {
    testing::TempDir dir;
    EXPECT_FALSE(ReadVersionStrings(dir / "missing.dll").has_value());
    const std::string path = dir / "plain.txt";
    ASSERT_TRUE(WriteWholeFile(path, std::string(QUILLAX_VERSION_MARKER) + "FileVersion"));
    EXPECT_FALSE(ReadVersionStrings(path).has_value());
    EXPECT_FALSE(ReadVersionStrings(dir.path()).has_value());
}

}  // namespace
}  // namespace quillax::platform
