// A test installation for the configuration tests: a fresh configuration directory under the
// temporary directory, registered as HKEY_CURRENT_USER\Software\quillax, and a RenderState of
// the test's own with a fake desktop and colour dialog.
//
// On Linux the registry is a store file inside the test directory (QUILLAX_REGISTRY), so each
// test starts from an empty registry. On Windows (and Wine) the real registry is used; the
// value the test changes is put back at the end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace quillax::testing {

class FakeDesktop : public DesktopInfo {
public:
    int width = 1000;
    WindowHandle window = reinterpret_cast<WindowHandle>(static_cast<std::uintptr_t>(0x1234));
    GbString caption;

    int ScreenWidth() const override { return width; }
    WindowHandle ActiveWindow() const override { return window; }
    GbString WindowCaption(WindowHandle w) const override { return w == window ? caption : GbString(); }
};

class FakeColorChooser : public ColorChooser {
public:
    bool confirm = true;   // what the user does
    int chosen = 0;        // the colour the user picks
    int calls = 0;
    int initial = -1;      // the colour the dialog started at
    WindowHandle owner = nullptr;

    bool ChooseColor(WindowHandle ownerWindow, int& rgb) override {
        ++calls;
        initial = rgb;
        owner = ownerWindow;
        if (confirm) {
            rgb = chosen;
        }
        return confirm;
    }
};

class ConfigTest : public ::testing::Test {
protected:
    static constexpr const char* kInstallKey = "Software\\quillax";

    void SetUp() override {
        const std::string temp = platform::TemporaryDirectory();
        ASSERT_FALSE(temp.empty());
        separator_ = temp.back();
        std::mt19937_64 random(static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count()));
        for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
            const std::string candidate =
                temp + "qx-config-test-" + std::to_string(random() % 1000000000u);
            if (!platform::PathExists(candidate) && platform::MakeDirectories(candidate)) {
                dir_ = candidate;
            }
        }
        ASSERT_FALSE(dir_.empty());
        installDir_ = dir_ + "\\";

        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", dir_ + separator_ + "registry");
        savedInstall_ = platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser,
                                                    kInstallKey, "");
        RegisterInstallation();
        NewState();
    }

    void TearDown() override {
        platform::SetWriteFault(platform::WriteFault::None);
        if (savedInstall_) {
            platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kInstallKey, "",
                                          Terminated(savedInstall_->bytes));
        } else {
            platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kInstallKey, "");
        }
        if (savedStore_) {
            platform::SetEnvironmentValue("QUILLAX_REGISTRY", *savedStore_);
        } else {
            platform::SetEnvironmentValue("QUILLAX_REGISTRY", std::nullopt);
        }
        platform::RemoveTree(dir_);
    }

    // Registers the test directory (ending in "\") as the configuration directory.
    void RegisterInstallation() {
        ASSERT_TRUE(platform::WriteRegistryString(platform::RegistryRoot::CurrentUser,
                                                  kInstallKey, "", installDir_));
    }
    void UnregisterInstallation() {
        platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kInstallKey, "");
    }

    // A fresh state with fresh fakes that keep the settings of the previous ones.
    RenderState& NewState() {
        auto desktop = desktop_ ? std::make_unique<FakeDesktop>(*desktop_) : std::make_unique<FakeDesktop>();
        auto chooser = chooser_ ? std::make_unique<FakeColorChooser>(*chooser_)
                                : std::make_unique<FakeColorChooser>();
        state_ = std::make_unique<RenderState>();  // frees the previous fakes
        desktop_ = desktop.get();
        chooser_ = chooser.get();
        state_->desktop = std::move(desktop);
        state_->colorChooser = std::move(chooser);
        return *state_;
    }

    RenderState& state() { return *state_; }

    std::string Path(const std::string& name) const { return installDir_ + name; }
    void WriteFile(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(platform::WriteWholeFile(Path(name), bytes));
    }
    void WriteIni(const std::string& bytes) { WriteFile("bible.ini", bytes); }
    std::string Ini() const { return platform::ReadWholeFile(Path("bible.ini")).value_or("<missing>"); }

    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const auto& entry : platform::ListDirectory(dir_)) {
            names.push_back(entry.name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes bible.ini and loads the installation into a fresh state.
    RenderState& Load(const std::string& ini) {
        WriteIni(ini);
        RenderState& fresh = NewState();
        LoadConfiguration(fresh);
        return fresh;
    }

    static std::string Items(const GbList& list) {
        std::string joined;
        for (const GbString& item : list) joined += "[" + item.str() + "]";
        return joined;
    }

    std::string dir_;
    std::string installDir_;
    char separator_ = '/';
    FakeDesktop* desktop_ = nullptr;
    FakeColorChooser* chooser_ = nullptr;

private:
    static std::string Terminated(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

    std::unique_ptr<RenderState> state_;
    std::optional<std::string> savedStore_;
    std::optional<platform::RegistryValue> savedInstall_;
};

}  // namespace quillax::testing
