// The update decision for the set-up tool of a Windows installation: the built envoke.exe, once
// installed, carries the version its manifest entry names, so the next check offers it no more.
#include "updater/updater_fixture.h"

#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/program_location.h"
#include "updater/labels.h"

namespace quillax {
namespace {

class InstalledSetupToolTest : public testing::UpdaterFixture {};

TEST_F(InstalledSetupToolTest, TheInstalledVersionIsOfferedOnlyWhenTheManifestHasALaterOne) {
    const GbString built = VersionLabelFromFileVersion(QUILLAX_FILEVERSION_TEXT);
    ASSERT_FALSE(built.IsEmpty());
    const std::string entry = "[Envoke.exe]\r\nUpdateFile=/files/envoke.zip\r\nTargetPath=cfg\r\nVersion=";

    // Not installed yet: offered.
    WriteManifest(entry + built.str() + "\r\n");
    EXPECT_TRUE(Evaluate("Envoke.exe", false));

    // The update put the built program in place: the same version is not offered again.
    ASSERT_TRUE(platform::CopyProgramFile(platform::ProgramDirectory() + "\\envoke.exe", install_ + "cfg\\Envoke.exe"));
    EXPECT_EQ(ReadVersionLabel(install_ + "cfg\\Envoke.exe"), built);
    EXPECT_FALSE(Evaluate("Envoke.exe", false));
    // A later build is.
    WriteManifest(entry + "Build 2999.01.01 00:00\r\n");
    EXPECT_TRUE(Evaluate("Envoke.exe", false));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Envoke.exe", "Envoke.exe"}));
}

TEST_F(InstalledSetupToolTest, The64BitEngineIsOfferedByTheVersionOfItsOwnFile) {
    const GbString built = VersionLabelFromFileVersion(QUILLAX_FILEVERSION_TEXT);
    ASSERT_FALSE(built.IsEmpty());
    const std::string entry = "[quillax.dll]\r\nUpdateFile=/files/x64.zip\r\nTargetPath=cfg\\x64\r\nVersion=";

    // Missing: offered.
    WriteManifest(entry + built.str() + "\r\n");
    EXPECT_TRUE(Evaluate("quillax.dll", false));

    // In place with the manifest's version: not offered again, whatever engine the 32-bit view
    // has registered; a later build is.
    ASSERT_TRUE(platform::MakeDirectories(install_ + "cfg\\x64"));
    ASSERT_TRUE(platform::CopyProgramFile(platform::ProgramDirectory() + "\\envoke.exe",
                                          install_ + "cfg\\x64\\quillax.dll"));
    EXPECT_FALSE(Evaluate("quillax.dll", false));
    WriteManifest(entry + "Build 2999.01.01 00:00\r\n");
    EXPECT_TRUE(Evaluate("quillax.dll", false));
}

}  // namespace
}  // namespace quillax
