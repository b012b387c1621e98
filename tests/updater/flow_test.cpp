// The dialog flow end to end against the loopback server: check pass, apply pass, finish, on a
// copy of the sample installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "support/loopback_server.h"
#include "updater/profile_file.h"
#include "updater/texts.h"
#include "updater/update_flow.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

using testing::BuildZip;
using testing::FileBytes;
using testing::WriteFileBytes;

class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        ASSERT_TRUE(testing::CopyTree("sample", install_.substr(0, install_.size() - 1)))
            << "run the tests from the repository root";
        ASSERT_TRUE(platform::MakeDirectories(install_ + "update"));
        ASSERT_TRUE(platform::MakeDirectories(temp_));
        working_ = std::make_unique<testing::WorkingDirectoryScope>(install_);
    }
    void TearDown() override { working_.reset(); }

    std::unique_ptr<UpdateFlow> MakeFlow(unsigned port) {
        FlowSetup setup;
        setup.startup.productName = GbString("Corvex");
        setup.startup.versionText = GbString("2.0");
        setup.startup.installDir = GbString(install_);
        setup.startup.installedEngineLabel = GbString("Build 2006.07.28 20:25");
        setup.url = ParseManifestUrl("http://127.0.0.1:" + std::to_string(port) + "/update.ini");
        setup.ownDir = GbString(install_);
        setup.tempDir = GbString(temp_);
        setup.userAgent = GbString("cvupdate");
        auto flow = std::make_unique<UpdateFlow>(front_, setup);
        flow->Core().startProgram = [this](const GbString& program, const std::vector<std::string>& arguments) {
            started_.push_back(program.str() + " " + (arguments.empty() ? "" : arguments[0]));
        };
        flow->Core().createHelpShortcut = [this](const HelpShortcut& shortcut) {
            shortcuts_.push_back(shortcut.linkPath.str());
        };
        flow->Core().readLocale = [] { return GbString("00000409"); };
        flow->findRunningProduct = [this](std::string_view name) -> std::optional<std::uint32_t> {
            searched_.emplace_back(name);
            if (runningProduct_) {
                return 4242u;
            }
            return std::nullopt;
        };
        flow->terminateProduct = [this](std::uint32_t id) {
            terminated_.push_back(id);
            return true;
        };
        return flow;
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const GbString& line : front_.lines) {
            out.push_back(line.str());
        }
        return out;
    }

    testing::ScratchDir scratch_;
    std::string install_ = scratch_ / "Tessaly\\";
    std::string temp_ = scratch_ / "tmp\\";
    testing::LoopbackServer server_;
    RecordingFront front_;
    std::unique_ptr<testing::WorkingDirectoryScope> working_;
    std::vector<std::string> started_;
    std::vector<std::string> shortcuts_;
    std::vector<std::string> searched_;
    std::vector<std::uint32_t> terminated_;
    bool runningProduct_ = false;
};

TEST_F(FlowTest, CheckThenUpdateThenFinish) {
    // The publisher's bible.ini: the sample's with one more correction pair.
    std::string theirs = FileBytes(install_ + "cfg\\bible.ini");
    ASSERT_FALSE(theirs.empty());
    theirs.insert(theirs.find("\r\n", theirs.find("WORD_GBK=")), ",聖經");
    server_.ServeBody("/update.ini",
                      "[quillax.dll]\r\nUpdateFile=/files/engine.zip\r\nVersion=Build 2006.10.01 08:00\r\n"
                      "TargetPath=cfg\r\n"
                      "[bible.ini]\r\nUpdateFile=/files/bible.ini\r\nTargetPath=cfg\r\n"
                      "[bible.css]\r\nUpdateFile=/files/css.zip\r\nTargetPath=cfg\r\n"
                      "[Envoke.exe]\r\nUpdateFile=/files/envoke.zip\r\nTargetPath=cfg\r\nVersion=Build 2006.10.01 08:00\r\n"
                      "[corvex.chm]\r\nUpdateFile=/files/help.zip\r\n"
                      "[readme.txt]\r\nUpdateFile=/files/doc.zip\r\nTargetPath=doc\r\nFileDateTime=2006-10-01 08:00\r\n"
                      "[gone.dat]\r\nUpdateFile=/files/gone.zip\r\n");
    server_.ServeBody("/files/bible.ini", theirs);
    server_.ServeBody("/files/engine.zip", BuildZip({{"quillax.dll", "engine 2006.10.01", true}}));
    server_.ServeBody("/files/envoke.zip", BuildZip({{"Envoke.exe", "envoke"}}));
    server_.ServeBody("/files/help.zip", BuildZip({{"corvex.chm", "help"}}));
    server_.ServeBody("/files/doc.zip", BuildZip({{"doc/", "", false, 0, 0x10}, {"doc/readme.txt", "read me"}}));
    const std::string css = FileBytes(install_ + "cfg\\bible.css");

    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    EXPECT_EQ(front_.status, updater_text::kStatusInitial);
    flow->Initialise();
    EXPECT_EQ(Lines(), std::vector<std::string>{"Corvex 2.0"});
    EXPECT_EQ(front_.buttonCaption, updater_text::kCaptionNext);

    // Check pass.
    flow->PressDefault();
    EXPECT_EQ(front_.statusHistory[1], updater_text::kStatusConnecting);
    EXPECT_EQ(front_.statusHistory[2], updater_text::kStatusReadingManifest);
    EXPECT_EQ(front_.statusHistory[3], updater_text::kStatusListing);
    const std::string listing = updater_text::kStatusListing;
    EXPECT_EQ(Lines(), (std::vector<std::string>{listing, "quillax.dll", updater_text::kLineCorrectionsMerged,
                                                 "Envoke.exe", "corvex.chm", "readme.txt", "gone.dat"}));
    EXPECT_EQ(front_.status, std::string(updater_text::kStatusDownloadDone) + updater_text::kStatusUpdatesFound);
    EXPECT_EQ(front_.buttonCaption, updater_text::kCaptionUpdate);
    EXPECT_TRUE(front_.buttonEnabled);
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Apply);
    EXPECT_TRUE(platform::FileExists(temp_ + "cvupdate.ini"));
    EXPECT_TRUE(platform::DirectoryExists(install_ + "doc"));
    EXPECT_NE(FileBytes(install_ + "cfg\\bible.ini").find(",聖經\r\n"), std::string::npos);
    // Nothing was installed yet.
    EXPECT_FALSE(platform::PathExists(install_ + "cfg\\quillax.dll"));
    EXPECT_EQ(server_.CountRequests("/files/engine.zip"), 0);

    // Apply pass.
    flow->PressDefault();
    EXPECT_EQ(searched_, std::vector<std::string>{"Corvex.exe"});
    EXPECT_TRUE(front_.questions.empty());
    EXPECT_EQ(FileBytes(install_ + "cfg\\quillax.dll"), "engine 2006.10.01");
    EXPECT_EQ(FileBytes(install_ + "cfg\\Envoke.exe"), "envoke");
    EXPECT_EQ(FileBytes(install_ + "corvex.chm"), "help");
    EXPECT_EQ(FileBytes(install_ + "doc\\readme.txt"), "read me");
    EXPECT_EQ(FileBytes(install_ + "cfg\\bible.css"), css);
    EXPECT_EQ(started_, std::vector<std::string>{install_ + "cfg\\Envoke.exe -q"});
    EXPECT_EQ(shortcuts_, std::vector<std::string>{"tessaly\\tessaly.lnk"});
    const std::string updating = updater_text::kLineUpdating;
    const std::string updated = updater_text::kLineUpdated;
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "quillax.dll", updater_text::kLineCorrectionsMerged, "Envoke.exe", "corvex.chm",
                           "readme.txt", "gone.dat", listing,
                           updating + "quillax.dll...", install_ + "cfg\\quillax.dll" + updated,
                           updating + "Envoke.exe...", install_ + "cfg\\Envoke.exe" + updated,
                           updating + "corvex.chm...", install_ + "corvex.chm" + updated,
                           updating + "readme.txt...", install_ + "doc\\readme.txt" + updated,
                           updating + "gone.dat...", "/files/gone.zip" + std::string(updater_text::kStatusNotFound)}));
    EXPECT_EQ(front_.statusHistory[front_.statusHistory.size() - 2], "/files/gone.zip" + std::string(updater_text::kStatusNotFound));
    EXPECT_EQ(front_.status, updater_text::kStatusPassDone);
    EXPECT_EQ(front_.buttonCaption, updater_text::kCaptionFinish);
    EXPECT_TRUE(front_.buttonEnabled);
    EXPECT_FALSE(front_.busy);
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    EXPECT_TRUE(platform::ListDirectory(install_ + "update").empty());
    EXPECT_TRUE(front_.messages.empty());

    flow->PressDefault();
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Closed);
}

TEST_F(FlowTest, ARunningProductIsClosedOnlyWhenTheUserAgrees) {
    server_.ServeBody("/update.ini", "[new.txt]\r\nUpdateFile=/files/new.zip\r\n");
    server_.ServeBody("/files/new.zip", BuildZip({{"new.txt", "new"}}));
    runningProduct_ = true;
    front_.answerOk = false;
    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    flow->PressDefault();
    ASSERT_EQ(front_.questions.size(), 1u);
    EXPECT_EQ(front_.questions[0], std::string("Corvex") + updater_text::kMessageProductRunning);
    EXPECT_TRUE(terminated_.empty());
    EXPECT_EQ(FileBytes(install_ + "new.txt"), "new");  // the update went on

    front_.answerOk = true;
    platform::RemoveFile(install_ + "new.txt");
    flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    flow->PressDefault();
    EXPECT_EQ(terminated_, std::vector<std::uint32_t>{4242u});
}

TEST_F(FlowTest, NothingToDoAnErrorPageAndNoServer) {
    // Every entry is current: the button stays disabled.
    server_.ServeBody("/update.ini", "[cfg\\bible.css]\r\nUpdateFile=/files/css.zip\r\n");
    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    EXPECT_EQ(front_.status, updater_text::kStatusNothingToDo);
    EXPECT_FALSE(front_.buttonEnabled);
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Check);

    // A manifest answered with an error page: the status is told, no copy is kept (not even
    // the one of the last check), and the button stays for another try.
    ASSERT_TRUE(platform::FileExists(temp_ + "cvupdate.ini"));
    for (const int status : {404, 500, 302}) {
        testing::HttpReply refused;
        refused.status = status;
        refused.reason = "Refused";
        refused.body = "[x.txt]\r\nUpdateFile=/files/x.zip\r\n";  // looks like a manifest, is none
        server_.Serve("/update.ini", refused);
        flow = MakeFlow(server_.Port());
        flow->Initialise();
        flow->PressDefault();
        EXPECT_EQ(front_.status, std::string(updater_text::kStatusManifestRefused) + std::to_string(status) +
                                     updater_text::kStatusManifestRefusedEnd);
        EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
        EXPECT_TRUE(front_.buttonEnabled);
        EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Check);
        EXPECT_EQ(server_.CountRequests("/files/x.zip"), 0);
    }
    EXPECT_EQ(updater_text::kStatusManifestRefused + std::string("404") + updater_text::kStatusManifestRefusedEnd,
              "无法获取更新列表（服务器返回 404）！");

    // No server: the status says so and the button stays for another try.
    unsigned closedPort = 0;
    {
        testing::LoopbackServer gone;
        closedPort = gone.Port();
    }
    flow = MakeFlow(closedPort);
    flow->Initialise();
    flow->PressDefault();
    EXPECT_EQ(front_.status, updater_text::kStatusConnectFailed);
    EXPECT_TRUE(front_.buttonEnabled);
    EXPECT_EQ(front_.buttonCaption, updater_text::kCaptionNext);
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Check);
}

TEST_F(FlowTest, AManifestThatFillsTheDiskIsNotKept) {
    server_.ServeBody("/update.ini", "[new.txt]\r\nUpdateFile=/files/new.zip\r\n");
    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    flow->Initialise();
    platform::SetWriteFault(platform::WriteFault::DuringWrite);
    flow->PressDefault();
    platform::SetWriteFault(platform::WriteFault::None);
    ASSERT_EQ(front_.messages.size(), 1u);
    EXPECT_EQ(front_.messages[0].text, std::string(updater_text::kMessageWriteFailed) + temp_ + "cvupdate.ini" +
                                           updater_text::kMessageDiskFullEnd);
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    EXPECT_FALSE(front_.buttonEnabled);
    EXPECT_EQ(server_.CountRequests("/files/new.zip"), 0);
}

TEST_F(FlowTest, AManifestOrBibleIniOverFourMegabytesIsRefused) {
    // A manifest that does not end (no Content-Length, more than the limit): a list line, no
    // copy kept, the button stays for another try, nothing listed in it is fetched.
    const std::string ours = FileBytes(install_ + "cfg\bible.ini");
    testing::HttpReply endless;
    endless.body = "[x.txt]\r\nUpdateFile=/files/x.zip\r\n" + std::string(kProfileDownloadLimit, ';');
    endless.contentLength = false;
    server_.Serve("/update.ini", endless);
    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    const std::string manifestLine = std::string("/update.ini") + updater_text::kLineTooLarge;
    EXPECT_EQ(Lines(), (std::vector<std::string>{"Corvex 2.0", manifestLine}));
    EXPECT_EQ(front_.status, manifestLine);
    EXPECT_TRUE(front_.buttonEnabled);
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Check);
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    EXPECT_EQ(server_.CountRequests("/files/x.zip"), 0);

    // A bible.ini that announces more than the limit: refused before its body is read, the
    // local one untouched, no download left; the pass goes on.
    front_.lines.clear();
    server_.ServeBody("/update.ini", "[bible.ini]\r\nUpdateFile=/files/bible.ini\r\nTargetPath=cfg\r\n");
    server_.ServeBody("/files/bible.ini", "[Config]\r\nURL=http://elsewhere/\r\n" +
                                              std::string(kProfileDownloadLimit, ';'));
    flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    const std::vector<std::string> lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "/files/bible.ini" + std::string(updater_text::kLineTooLarge)),
              lines.end());
    EXPECT_TRUE(FileBytes(install_ + "cfg\bible.ini") == ours);
    EXPECT_TRUE(platform::ListDirectory(install_ + "update").empty());
    EXPECT_EQ(front_.status, updater_text::kStatusNothingToDo);
}

TEST_F(FlowTest, ABrokenManifestTransferLeavesOnlyCancel) {
    testing::HttpReply broken;
    broken.body = std::string(20000, ';');
    broken.resetAfter = 5000;
    server_.Serve("/update.ini", broken);
    std::unique_ptr<UpdateFlow> flow = MakeFlow(server_.Port());
    flow->Initialise();
    flow->PressDefault();
    ASSERT_EQ(front_.messages.size(), 1u);
    EXPECT_EQ(front_.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(front_.status, updater_text::kStatusReadingManifest);
    EXPECT_FALSE(front_.buttonEnabled);
    EXPECT_EQ(Lines(), std::vector<std::string>{"Corvex 2.0"});
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini")) << "no copy of a manifest that did not arrive whole";
}

}  // namespace
}  // namespace quillax
