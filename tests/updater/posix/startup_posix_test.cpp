// Start-up from the registry store, and the version rule of programs with a version block
// (Linux: the test writes the block that the build embeds in programs and libraries).
#include "updater/updater_fixture.h"

#include "platform/registry.h"
#include "updater/labels.h"
#include "updater/startup.h"

namespace quillax {
namespace {

using platform::RegistryRoot;
using testing::WriteFileBytes;

constexpr char kClassId[] = "{A9599F9D-1610-4092-99F3-B602427CC1C3}";

// A file with the version block of resources/version/version_block.h.
std::string VersionBlockFile(const std::string& fileVersion) {
    std::string bytes = "ELF and other bytes";
    bytes += std::string("<<quillax-version>>\x01", 20);
    bytes += std::string("FileVersion") + '\0' + fileVersion + '\0';
    bytes += std::string("LegalCopyright") + '\0' + "(c)" + '\0';
    bytes += '\0';
    bytes += std::string("<<end>>\x01\x02\x03", 10);
    return bytes + "more bytes";
}

class StartupPosixTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::DeleteRegistryTree(RegistryRoot::CurrentUser, "Software\\quillax");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, std::string("CLSID\\") + kClassId);
    }
    testing::ScratchDir scratch_;
};

TEST_F(StartupPosixTest, TheInstallationIsFoundThroughTheRegistry) {
    const std::string cfg = scratch_ / "Tessaly\\cfg\\";
    ASSERT_TRUE(platform::MakeDirectories(cfg));
    ASSERT_TRUE(WriteFileBytes(cfg + "bible.ini", "[config]\r\nUPDATEURL = http://127.0.0.1:9/u.ini\r\n"));
    ASSERT_TRUE(WriteFileBytes(cfg + "quillax.dll", VersionBlockFile("2006,07,28,2025")));
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Software\\quillax", "", cfg));
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::ClassesRoot, "quillax.qlx\\CLSID", "", kClassId));
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::ClassesRoot,
                                              std::string("CLSID\\") + kClassId + "\\InprocServer32", "",
                                              cfg + "quillax.dll"));

    StartupSettings settings = ReadStartupSettings("Corvex", "/elsewhere");
    EXPECT_FALSE(settings.fromCommandLine);
    EXPECT_EQ(settings.productName, "Corvex");
    EXPECT_EQ(settings.installDir, scratch_ / "Tessaly\\");
    EXPECT_EQ(settings.configFile, cfg + "bible.ini");
    EXPECT_EQ(settings.manifestUrl, "http://127.0.0.1:9/u.ini");
    EXPECT_EQ(settings.installedEngineLabel, "Build 2006.07.28 20:25");
    EXPECT_EQ(settings.versionText, "Build 2006.07.28 20:25");

    // Two words: the second is replaced by the label all the same.
    settings = ReadStartupSettings("Corvex 9.9", "/elsewhere");
    EXPECT_EQ(settings.versionText, "Build 2006.07.28 20:25");

    // No URL in bible.ini: the built-in one; a long one is cut to 255 characters.
    ASSERT_TRUE(WriteFileBytes(cfg + "bible.ini", "[config]\r\nLANGUAGE=gb2312\r\n"));
    EXPECT_EQ(ReadStartupSettings("", "/elsewhere").manifestUrl, kDefaultManifestUrl);
    const std::string longUrl = "http://h/" + std::string(300, 'u');
    ASSERT_TRUE(WriteFileBytes(cfg + "bible.ini", "[config]\r\nUPDATEURL=" + longUrl + "\r\n"));
    EXPECT_EQ(ReadStartupSettings("", "/elsewhere").manifestUrl, longUrl.substr(0, 255));

    // Without the registration the label is empty.
    platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
    EXPECT_EQ(ReadStartupSettings("", "/elsewhere").installedEngineLabel, "");
}

TEST_F(StartupPosixTest, WithoutTheRegistryTheWorkingDirectoryIsCutAtUpdate) {
    StartupSettings settings = ReadStartupSettings("", "/Data/Tessaly/Update/bin");
    EXPECT_EQ(settings.installDir, "/data/tessaly/");
    EXPECT_EQ(settings.configFile, "/data/tessaly/cfg\\bible.ini");
    EXPECT_EQ(settings.manifestUrl, kDefaultManifestUrl);
    EXPECT_EQ(settings.productName, "");
    settings = ReadStartupSettings("", "/data/tessaly");
    EXPECT_EQ(settings.installDir, "/data/tessaly\\");
}

class VersionRuleTest : public testing::UpdaterFixture {};

TEST_F(VersionRuleTest, AProgramComparesWithItsOwnVersionLabel) {
    ASSERT_TRUE(WriteFileBytes(install_ + "tool.exe", VersionBlockFile("2006,07,28,2025")));
    EXPECT_EQ(ReadVersionLabel(install_ + "tool.exe"), "Build 2006.07.28 20:25");
    WriteManifest("[tool.exe]\r\nUpdateFile=/t.zip\r\nVersion=Build 2006.07.28 20:25\r\n");
    EXPECT_FALSE(Evaluate("tool.exe", false));
    WriteManifest("[tool.exe]\r\nUpdateFile=/t.zip\r\nVersion=Build 2006.10.01 08:00\r\n");
    EXPECT_TRUE(Evaluate("tool.exe", false));
    WriteManifest("[tool.exe]\r\nUpdateFile=/t.zip\r\nVersion=Build 2006.07.28 20:24\r\n");
    EXPECT_FALSE(Evaluate("tool.exe", false));
    // The installed engine label, not the file's, decides for the engine library.
    ASSERT_TRUE(WriteFileBytes(install_ + "quillax.dll", VersionBlockFile("2001,01,01,0000")));
    WriteManifest("[quillax.dll]\r\nUpdateFile=/q.zip\r\nVersion=Build 2006.07.28 20:25\r\n");
    EXPECT_FALSE(Evaluate("quillax.dll", false));
}

}  // namespace
}  // namespace quillax
