#include "textlib/registry_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/environment.h"
#include "platform/temp_dir.h"

namespace quillax {
namespace {

using platform::RegistryRoot;

TEST(RegistryText, ValuesAsText) {
    // Linux: a private store file; Windows: a test key of the real registry.
    testing::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const auto savedStore = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
    ASSERT_TRUE(platform::SetEnvironmentValue("QUILLAX_REGISTRY", dir.path() + "/registry"));
    const std::string key = "Software\\quillax-text-test-" + std::to_string(std::random_device{}());
    const RegistryRoot user = RegistryRoot::CurrentUser;

    // A string ends at its first zero byte, whatever follows.
    ASSERT_TRUE(platform::WriteRegistryString(user, key, "", "D:\\Prod\\cfg\\"));
    EXPECT_EQ(ReadRegistryText(user, key, ""), "D:\\Prod\\cfg\\");
    ASSERT_TRUE(platform::WriteRegistryBinary(user, key, "Zero", std::string("ab\0cd", 5)));
    ASSERT_TRUE(platform::WriteRegistryString(user, key, "Text", std::string("ab\0cd", 5)));
    EXPECT_EQ(ReadRegistryText(user, key, "Text"), "ab");

    // A binary value is the decimal text of its first byte, signed.
    const std::string fontSize("\x02\x00\x00\x00", 4);
    ASSERT_TRUE(platform::WriteRegistryBinary(user, key, "IEFontSize", fontSize));
    EXPECT_EQ(ReadRegistryText(user, key, "IEFontSize"), "2");
    ASSERT_TRUE(platform::WriteRegistryBinary(user, key, "Neg", "\xFF"));
    EXPECT_EQ(ReadRegistryText(user, key, "Neg"), "-1");
    ASSERT_TRUE(platform::WriteRegistryBinary(user, key, "Big", "\x80\x01"));
    EXPECT_EQ(ReadRegistryText(user, key, "Big"), "-128");
    EXPECT_EQ(ReadRegistryText(user, key, "Zero"), "97");  // "a"
    ASSERT_TRUE(platform::WriteRegistryBinary(user, key, "Empty", ""));
    EXPECT_EQ(ReadRegistryText(user, key, "Empty"), "");

    // Other types: the stored bytes up to the first zero byte (a DWORD 0x33 reads "3").
    ASSERT_TRUE(platform::WriteRegistryDword(user, key, "Dword", 0x33));
    EXPECT_EQ(ReadRegistryText(user, key, "Dword"), "3");

    // Nothing to read gives the empty text.
    EXPECT_EQ(ReadRegistryText(user, key, "Missing"), "");
    EXPECT_EQ(ReadRegistryText(user, key + "\\Missing", ""), "");
    EXPECT_EQ(ReadRegistryText(RegistryRoot::ClassesRoot, "quillax-none.qlx\\CLSID", ""), "");

    platform::DeleteRegistryTree(user, key);
    platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore);
}

}  // namespace
}  // namespace quillax
