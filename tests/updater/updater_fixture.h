// The common set-up of the tests that run the updater against the loopback server: an
// installation directory in a scratch directory (also the working directory and the program's
// directory, as after the relaunch), the manifest copy in a temporary directory of its own,
// a front that records everything, and seams that record started programs and shortcuts.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/http.h"
#include "support/loopback_server.h"
#include "updater/front.h"
#include "updater/updater.h"
#include "updater/updater_test_support.h"

namespace quillax::testing {

class UpdaterFixture : public ::testing::Test {
protected:
    struct StartedProgram {
        GbString program;
        std::vector<std::string> arguments;
    };

    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        ASSERT_TRUE(platform::MakeDirectories(install_ + "cfg"));
        ASSERT_TRUE(platform::MakeDirectories(install_ + "update"));
        ASSERT_TRUE(platform::MakeDirectories(temp_));
        working_ = std::make_unique<WorkingDirectoryScope>(install_);
        connection_ = std::make_unique<platform::HttpConnection>("cvupdate", "127.0.0.1", server_.Port());
        UpdaterSetup setup;
        setup.installDir = GbString(install_);
        setup.ownDir = GbString(install_);
        setup.manifestCopy = GbString(temp_ + "cvupdate.ini");
        setup.installedEngineLabel = GbString("Build 2006.07.28 20:25");
        updater_ = std::make_unique<Updater>(front_, *connection_, setup);
        updater_->startProgram = [this](const GbString& program, const std::vector<std::string>& arguments) {
            started_.push_back({program, arguments});
        };
        updater_->createHelpShortcut = [this](const HelpShortcut& shortcut) { shortcuts_.push_back(shortcut); };
        updater_->readLocale = [this] { return GbString(locale_); };
    }

    void TearDown() override { working_.reset(); }

    void WriteManifest(const std::string& text) {
        ASSERT_TRUE(WriteFileBytes(temp_ + "cvupdate.ini", text));
    }

    bool Evaluate(const std::string& section, bool apply) {
        return updater_->EvaluateEntry(GbString(section), apply);
    }

    // The lines of the list as std::string, for comparisons.
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const GbString& line : front_.lines) {
            out.push_back(line.str());
        }
        return out;
    }

    ScratchDir scratch_;
    std::string install_ = scratch_ / "inst\\";
    std::string temp_ = scratch_ / "tmp\\";
    LoopbackServer server_;
    RecordingFront front_;
    std::unique_ptr<WorkingDirectoryScope> working_;
    std::unique_ptr<platform::HttpConnection> connection_;
    std::unique_ptr<Updater> updater_;
    std::vector<StartedProgram> started_;
    std::vector<HelpShortcut> shortcuts_;
    std::string locale_ = "00000804";
};

}  // namespace quillax::testing
