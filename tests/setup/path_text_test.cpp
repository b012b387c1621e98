// The relative paths the set-up tool accepts from module lists and correction files.
#include <gtest/gtest.h>

#include "setup/path_text.h"

namespace quillax {
namespace {

TEST(StaysInsideTest, RelativePathsStayBelowTheirDirectory) {
    EXPECT_TRUE(StaysInside(""));
    EXPECT_TRUE(StaysInside("sys\\corpa.txt"));
    EXPECT_TRUE(StaysInside("a/b..c/..d"));
    EXPECT_FALSE(StaysInside("\\root"));
    EXPECT_FALSE(StaysInside("/root"));
    EXPECT_FALSE(StaysInside("C:x"));
    EXPECT_FALSE(StaysInside("a\\..\\..\\b"));
    EXPECT_FALSE(StaysInside(".."));
    EXPECT_FALSE(StaysInside(std::string("a\0b", 3)));
    // A ":" or "\" that is the trail byte of a GBK character is no drive and no separator
    // (0x81 0x3A, 0xB1 0x5C ".." stays one name).
    EXPECT_TRUE(StaysInside("\x81:x"));
    EXPECT_TRUE(StaysInside("\xB1\\.."));
    // 0x80 and 0xFF are characters of their own: the ":" after them is a drive.
    EXPECT_FALSE(StaysInside("\x80:x"));
    EXPECT_FALSE(StaysInside("\xFF:x"));
}

}  // namespace
}  // namespace quillax
