#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "temp_dir.h"

// On Windows these tests use the real registry (under Wine: the prefix's registry), below a
// key of their own in HKEY_CURRENT_USER that they delete again. On Linux QUILLAX_REGISTRY
// points at a store file in a temporary directory; the user's store is never touched.

namespace quillax::platform {
namespace {

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        savedStore_ = GetEnvironmentValue("QUILLAX_REGISTRY");
        storePath_ = dir_.path() + "/registry";  // a Linux path: only Linux reads it
        ASSERT_TRUE(SetEnvironmentValue("QUILLAX_REGISTRY", storePath_));
        base_ = "Software\\quillax-platform-test-" + std::to_string(std::random_device{}());
    }
    void TearDown() override {
        DeleteRegistryTree(kUser, base_);
        SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }
    // True when the registry is the file store of QUILLAX_REGISTRY (Linux).
    bool IsFileStore() const { return FileExists(storePath_); }

    testing::TempDir dir_;
    std::optional<std::string> savedStore_;
    std::string storePath_;
    std::string base_;
};

std::string Text(const std::optional<RegistryValue>& value) {
    return value ? value->bytes : std::string("<none>");
}

TEST_F(Registry, ValuesRoundTrip) {
    const std::string key = base_ + "\\Cfg";
    EXPECT_FALSE(ReadRegistryValue(kUser, key, "").has_value());
    EXPECT_FALSE(RegistryKeyExists(kUser, key));

    // The default value holds the configuration directory; "禱" has the trail byte 0x5C.
    const std::string dir = "C:\\禱告\\cfg\\";
    ASSERT_TRUE(WriteRegistryString(kUser, key, "", dir));
    auto value = ReadRegistryValue(kUser, key, "");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegistryType::String);
    EXPECT_EQ(value->bytes, dir + '\0');
    EXPECT_TRUE(RegistryKeyExists(kUser, key));
    EXPECT_TRUE(RegistryKeyExists(kUser, base_));  // parents are created too

    const std::string binary("\xFF\x00\x7F", 3);
    ASSERT_TRUE(WriteRegistryBinary(kUser, key, "IEFontSize", binary));
    value = ReadRegistryValue(kUser, key, "IEFontSize");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegistryType::Binary);
    EXPECT_EQ(value->bytes, binary);

    ASSERT_TRUE(WriteRegistryDword(kUser, key, "Count", 0x01020304));
    value = ReadRegistryValue(kUser, key, "Count");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegistryType::Dword);
    EXPECT_EQ(value->bytes, std::string("\x04\x03\x02\x01", 4));

    // Key and value names compare without regard to case; a rewrite replaces type and bytes.
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_ + "\\CFG", "iefontsize")), binary);
    ASSERT_TRUE(WriteRegistryString(kUser, base_ + "\\cfg", "IEFONTSIZE", "2"));
    value = ReadRegistryValue(kUser, key, "IEFontSize");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, RegistryType::String);
    EXPECT_EQ(value->bytes, std::string("2", 2));
    ASSERT_TRUE(WriteRegistryBinary(kUser, key, "Empty", ""));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, key, "Empty")), "");

    EXPECT_FALSE(ReadRegistryValue(kUser, key, "Missing").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_ + "\\Missing", "").has_value());
    EXPECT_FALSE(ReadRegistryValue(RegistryRoot::ClassesRoot, key, "").has_value());

    EXPECT_TRUE(DeleteRegistryValue(kUser, key, "count"));
    EXPECT_FALSE(DeleteRegistryValue(kUser, key, "Count"));
    EXPECT_FALSE(ReadRegistryValue(kUser, key, "Count").has_value());
    EXPECT_EQ(Text(ReadRegistryValue(kUser, key, "")), dir + '\0');
}

TEST_F(Registry, KeysAndTrees) {
    ASSERT_TRUE(CreateRegistryKey(kUser, base_ + "\\A\\B"));
    ASSERT_TRUE(WriteRegistryString(kUser, base_ + "\\A\\B\\C", "v", "deep"));
    ASSERT_TRUE(WriteRegistryString(kUser, base_ + "\\A\\D", "", "d"));
    ASSERT_TRUE(WriteRegistryString(kUser, base_ + "\\E", "", "e"));
    EXPECT_TRUE(RegistryKeyExists(kUser, base_ + "\\A\\B"));

    std::vector<std::string> names = ListRegistrySubkeys(kUser, base_ + "\\a");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B", "D"}));
    names = ListRegistrySubkeys(kUser, base_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A", "E"}));
    EXPECT_TRUE(ListRegistrySubkeys(kUser, base_ + "\\E").empty());
    EXPECT_TRUE(ListRegistrySubkeys(kUser, base_ + "\\None").empty());

    // The tree goes with all its subkeys and values; its sibling stays.
    EXPECT_TRUE(DeleteRegistryTree(kUser, base_ + "\\a"));
    EXPECT_FALSE(RegistryKeyExists(kUser, base_ + "\\A"));
    EXPECT_FALSE(RegistryKeyExists(kUser, base_ + "\\A\\B\\C"));
    EXPECT_FALSE(ReadRegistryValue(kUser, base_ + "\\A\\B\\C", "v").has_value());
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_ + "\\E", "")), std::string("e", 2));
    EXPECT_FALSE(DeleteRegistryTree(kUser, base_ + "\\A"));  // already gone

    // A new write after the deletion finds nothing of the old tree.
    ASSERT_TRUE(WriteRegistryString(kUser, base_ + "\\A", "", "again"));
    EXPECT_TRUE(ListRegistrySubkeys(kUser, base_ + "\\A").empty());

    EXPECT_TRUE(DeleteRegistryTree(kUser, base_));
    EXPECT_FALSE(RegistryKeyExists(kUser, base_));
    EXPECT_FALSE(DeleteRegistryTree(kUser, ""));  // never the root
    EXPECT_TRUE(RegistryKeyExists(kUser, ""));
}

TEST_F(Registry, FileStoreLivesWhereQuillaxRegistryPoints) {
    ASSERT_TRUE(WriteRegistryString(kUser, base_, "Name", "value"));
    if (!IsFileStore()) {
        GTEST_SKIP() << "the registry is the system's registry here";
    }
    const auto text = ReadWholeFile(storePath_);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("value Name string value%00"), std::string::npos) << *text;

    // Another process's write (here: the file replaced behind our back) is seen at once.
    const std::string replaced =
        "key HKEY_CURRENT_USER\\" + base_ + "\nvalue Name string other%00\n";
    ASSERT_TRUE(WriteWholeFile(storePath_, replaced));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_, "Name")), std::string("other", 6));

    // A store in another place is another registry.
    testing::TempDir other;
    ASSERT_TRUE(SetEnvironmentValue("QUILLAX_REGISTRY", other.path() + "/registry"));
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "Name").has_value());
    ASSERT_TRUE(SetEnvironmentValue("QUILLAX_REGISTRY", storePath_));
    EXPECT_TRUE(ReadRegistryValue(kUser, base_, "Name").has_value());
}

TEST_F(Registry, DamagedStoreReadsWhatIsIntact) {
    ASSERT_TRUE(WriteRegistryString(kUser, base_, "", "x"));
    if (!IsFileStore()) {
        GTEST_SKIP() << "the registry is the system's registry here";
    }
    const std::string key = "HKEY_CURRENT_USER\\" + base_;
    const std::string damaged =
        "quillax registry 1\n"
        "value Orphan string before-any-key%00\n"                 // no key yet
        "key " + key + "\n"
        "value Good string C:%5Cprod%5Ccfg%5C%00\r\n"             // CR LF line end
        "value BadEscape string abc%G1\n"                         // bad escape
        "value BadType text abc\n"                                // unknown type
        "value NoData\n"                                          // too few fields
        "garbage \x01\x02\xFF line\n"
        "value Bin binary %FF%00\n"
        "key " + key + "\\Sub%ZZ\n"                              // broken key line ...
        "value Lost string lost%00\n"                             // ... takes its values along
        "key " + key + "\\Sub\n"
        "value Kept string kept%00\n"
        "value Cut string %4";                                    // truncated at the end
    ASSERT_TRUE(WriteWholeFile(storePath_, damaged));

    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_, "Good")), std::string("C:\\prod\\cfg\\", 13));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_, "Bin")), std::string("\xFF\0", 2));
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "Orphan").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "BadEscape").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "BadType").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "NoData").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_ + "\\Sub", "Lost").has_value());
    EXPECT_FALSE(ReadRegistryValue(kUser, base_ + "\\Sub", "Cut").has_value());
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_ + "\\Sub", "Kept")), std::string("kept", 5));

    // A write keeps what was intact and gives a clean file again.
    ASSERT_TRUE(WriteRegistryString(kUser, base_, "New", "n"));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_, "Good")), std::string("C:\\prod\\cfg\\", 13));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_ + "\\Sub", "Kept")), std::string("kept", 5));
    EXPECT_EQ(ReadWholeFile(storePath_)->find("garbage"), std::string::npos);

    // Pure binary noise reads as an empty registry, and writing over it works.
    std::string noise(4096, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 151 + 7) % 256);
    }
    ASSERT_TRUE(WriteWholeFile(storePath_, noise));
    EXPECT_FALSE(ReadRegistryValue(kUser, base_, "Good").has_value());
    EXPECT_FALSE(RegistryKeyExists(kUser, base_));
    ASSERT_TRUE(WriteRegistryString(kUser, base_, "", "fresh"));
    EXPECT_EQ(Text(ReadRegistryValue(kUser, base_, "")), std::string("fresh", 6));
}

}  // namespace
}  // namespace quillax::platform
