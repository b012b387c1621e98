// The build label and about text of a registered engine library, read from the version block
// that Linux builds embed (resources/version/version_block.h). The test registers a file of its
// own in the test registry, which it can only do with the file-backed store of Linux.
#include <gtest/gtest.h>

#include <string>

#include "../config_fixture.h"
#include "engine/config/configuration.h"
#include "resources/version/version_block.h"

namespace quillax {
namespace {

using testing::ConfigTest;

constexpr const char* kClsid = "{A9599F9D-1610-4092-99F3-B602427CC1C3}";

class ConfigVersionTest : public ConfigTest {
protected:
    void RegisterLibrary(const std::string& path) {
        ASSERT_TRUE(platform::WriteRegistryString(platform::RegistryRoot::ClassesRoot,
                                                  "quillax.qlx\\CLSID", "", kClsid));
        ASSERT_TRUE(platform::WriteRegistryString(
            platform::RegistryRoot::ClassesRoot,
            std::string("CLSID\\") + kClsid + "\\InprocServer32", "", path));
    }

    static std::string Block(const std::string& fileVersion, const std::string& legal) {
        std::string block(QUILLAX_VERSION_MARKER, QUILLAX_VERSION_MARKER_SIZE);
        block += std::string("FileVersion") + '\0' + fileVersion + '\0';
        block += std::string("LegalCopyright") + '\0' + legal + '\0';
        block += '\0';
        block += std::string(QUILLAX_VERSION_END, QUILLAX_VERSION_END_SIZE);
        return block;
    }
};

TEST_F(ConfigVersionTest, BuildLabelAndAboutTextFromTheRegisteredLibrary) {
    WriteFile("quillax.dll", std::string("\x7F" "ELF padding", 12) +
                                 Block("2006,07,28,2025", "版权所有 () 主恩堂") + "tail");
    RegisterLibrary(Path("quillax.dll"));
    RenderState& s = Load("USEGBK=0\r\n");
    EXPECT_EQ(s.buildLabel, "Build 2006.07.28 20:25");
    EXPECT_EQ(s.aboutText, "版权所有 2006(Build 2006.07.28 20:25) 主恩堂");

    // The label comes first: it is there even without a bible.ini.
    platform::RemoveFile(Path("bible.ini"));
    RenderState& noIni = NewState();
    LoadConfiguration(noIni);
    EXPECT_EQ(noIni.buildLabel, "Build 2006.07.28 20:25");
    EXPECT_TRUE(noIni.configText.IsEmpty());
}

TEST_F(ConfigVersionTest, NoVersionInformationLeavesBothEmpty) {
    // Nothing registered.
    RenderState& unregistered = Load("USEGBK=0\r\n");
    EXPECT_TRUE(unregistered.buildLabel.IsEmpty());
    EXPECT_TRUE(unregistered.aboutText.IsEmpty());

    // A registered library without a version block, and one that does not exist.
    WriteFile("quillax.dll", "no version here");
    RegisterLibrary(Path("quillax.dll"));
    EXPECT_TRUE(Load("USEGBK=0\r\n").buildLabel.IsEmpty());
    RegisterLibrary(Path("missing.dll"));
    RenderState& missing = Load("USEGBK=0\r\n");
    EXPECT_TRUE(missing.buildLabel.IsEmpty());
    EXPECT_TRUE(missing.aboutText.IsEmpty());
    EXPECT_EQ(missing.useGbk, 0);
    EXPECT_EQ(missing.installDir, installDir_);
}

}  // namespace
}  // namespace quillax
