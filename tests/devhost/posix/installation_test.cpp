// The installation set-up that quillax-cli and quillax-devhost share: the registry value of a
// run and the configuration directory of an installation. Linux only: the registry is a store
// of the test's own there.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "devhost/installation.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "textlib/product_identity.h"

namespace quillax {
namespace {

using platform::RegistryRoot;

std::optional<std::string> InstallationValue() {
    const auto value = platform::ReadRegistryValue(RegistryRoot::CurrentUser, kInstallationKey, "");
    if (!value) return std::nullopt;
    return value->bytes.substr(0, value->bytes.find('\0'));
}

class InstallationTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", temp / "registry");
    }
    void TearDown() override { platform::SetEnvironmentValue("QUILLAX_REGISTRY", saved_); }

    testing::TempDir temp;

private:
    std::optional<std::string> saved_;
};

TEST_F(InstallationTest, TheRunPointsTheEngineAtTheInstallationAndPutsBackWhatWasThere) {
    // Nothing there before: the value stands for the run and goes with it.
    {
        RunRegistry run("test", "C:\\one\\cfg\\", RunRegistry::EngineClass::PrivateStoreOnly);
        EXPECT_TRUE(run.Written());
        EXPECT_EQ(InstallationValue(), "C:\\one\\cfg\\");
    }
    EXPECT_EQ(InstallationValue(), std::nullopt);

    // The user's own value comes back; the store the user named stays the store.
    ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, kInstallationKey, "",
                                              "D:\\mine\\"));
    {
        RunRegistry run("test", "C:\\two\\", RunRegistry::EngineClass::AnyStore);
        EXPECT_EQ(InstallationValue(), "C:\\two\\");
    }
    EXPECT_EQ(InstallationValue(), "D:\\mine\\");
    EXPECT_EQ(platform::GetEnvironmentValue("QUILLAX_REGISTRY"), temp / "registry");
}

TEST_F(InstallationTest, TheConfigurationDirectoryIsCfgUnlessOnlyTheFolderHoldsBibleIni) {
    const GbString dir(temp.path());
    EXPECT_EQ(ConfigDirectory(dir).str(), temp.path() + "\\cfg\\");
    ASSERT_TRUE(platform::WriteWholeFile(temp / "bible.ini", "[config]\r\n"));
    EXPECT_EQ(ConfigDirectory(dir).str(), temp.path() + "\\");
    EXPECT_EQ(ConfigDirectory(GbString(temp.path() + "//")).str(), temp.path() + "\\");
    ASSERT_TRUE(platform::MakeDirectories(temp / "cfg"));
    ASSERT_TRUE(platform::WriteWholeFile(temp / "cfg\\bible.ini", "[config]\r\n"));
    EXPECT_EQ(ConfigDirectory(dir).str(), temp.path() + "\\cfg\\");
}

}  // namespace
}  // namespace quillax
