// Deleting a tree on Linux: links inside it go, what they point at stays.
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/posix/posix_test_support.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

using testing::SystemForm;

TEST(RemoveTree, RemovesLinksButNeverWhatTheyPointAt) {
    testing::TempDir dir;
    const std::string outside = dir / "outside";
    const std::string tree = dir / "tree";
    ASSERT_TRUE(platform::MakeDirectories(outside + "\\inner"));
    ASSERT_TRUE(platform::WriteWholeFile(outside + "\\inner\\keep.txt", "keep"));
    ASSERT_TRUE(platform::SetReadOnly(outside + "\\inner\\keep.txt", true));
    ASSERT_TRUE(platform::MakeDirectories(tree + "\\sub"));
    ASSERT_TRUE(platform::WriteWholeFile(tree + "\\sub\\locked.txt", "x"));
    ASSERT_TRUE(platform::SetReadOnly(tree + "\\sub\\locked.txt", true));
    ASSERT_EQ(::symlink(SystemForm(outside).c_str(), SystemForm(tree + "/sub/dir-link").c_str()), 0);
    ASSERT_EQ(::symlink(SystemForm(outside + "/inner/keep.txt").c_str(),
                        SystemForm(tree + "/file-link").c_str()), 0);

    // A link is a link: never a directory, and its target's attributes are out of reach.
    const auto bits = platform::GetFileAttributeBits(tree + "\\sub\\dir-link");
    ASSERT_TRUE(bits.has_value());
    EXPECT_EQ(*bits, platform::kAttrReparsePoint);
    EXPECT_FALSE(platform::SetReadOnly(tree + "\\file-link", false));

    EXPECT_TRUE(platform::RemoveTree(tree));
    EXPECT_FALSE(platform::PathExists(tree));
    EXPECT_EQ(platform::ReadWholeFile(outside + "\\inner\\keep.txt"), "keep");
    EXPECT_TRUE(platform::IsReadOnly(outside + "\\inner\\keep.txt"));
}

}  // namespace
}  // namespace quillax
