// Cancel while the update runs, and the one start of the set-up tool after the pass: the user
// presses Cancel during a download or between two entries, against the loopback server.
#include "updater/updater_fixture.h"

#include <memory>

#include "updater/profile_file.h"
#include "updater/texts.h"
#include "updater/update_flow.h"

namespace quillax {
namespace {

using testing::BuildZip;
using testing::FileBytes;
using testing::HttpReply;
using testing::WriteFileBytes;

// A body that arrives slowly, in pieces smaller than a read, so that a download takes many reads.
HttpReply SlowArchive(const std::string& name, std::size_t size) {
    HttpReply reply;
    reply.body = BuildZip({{name, std::string(size, 'n')}});
    reply.chunk = 1000;
    reply.chunkDelayMs = 2;
    return reply;
}

class CancelTest : public testing::UpdaterFixture {
protected:
    // Presses Cancel once the download of updateFile has made `reads` reads.
    void CancelDuring(const std::string& updateFile, int reads) {
        front_.onPump = [this, updateFile, reads, seen = 0]() mutable {
            if (front_.status == std::string(updater_text::kStatusDownloading) + updateFile && ++seen >= reads) {
                front_.cancelRequested = true;
            }
        };
    }
    std::string UpdateDir() const { return install_ + "update\\"; }
};

TEST_F(CancelTest, CancelDuringADownloadLeavesTheInstallationAsItWas) {
    ASSERT_TRUE(WriteFileBytes(install_ + "b.txt", "installed b"));
    server_.ServeBody("/files/a.zip", BuildZip({{"a.txt", "new a"}}));
    server_.Serve("/files/b.zip", SlowArchive("b.txt", 60000));
    server_.ServeBody("/files/c.zip", BuildZip({{"c.txt", "new c"}}));
    WriteManifest("[a.txt]\r\nUpdateFile=/files/a.zip\r\n"
                  "[b.txt]\r\nUpdateFile=/files/b.zip\r\nFileDateTime=2099-01-01 00:00\r\n"
                  "[c.txt]\r\nUpdateFile=/files/c.zip\r\n");
    CancelDuring("/files/b.zip", 3);

    updater_->RunEntries(true);
    EXPECT_TRUE(updater_->PassCancelled());
    // The entry finished before Cancel stays; the one being downloaded is as it was, and
    // nothing after it was asked for.
    EXPECT_EQ(FileBytes(install_ + "a.txt"), "new a");
    EXPECT_EQ(FileBytes(install_ + "b.txt"), "installed b");
    EXPECT_FALSE(platform::PathExists(install_ + "c.txt"));
    EXPECT_EQ(server_.CountRequests("/files/c.zip"), 0);
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty()) << "the partial download is gone";
    const std::string updating = updater_text::kLineUpdating;
    EXPECT_EQ(Lines(), (std::vector<std::string>{updating + "a.txt...", install_ + "a.txt" + updater_text::kLineUpdated,
                                                 updating + "b.txt..."}));
    // The download stopped at the read after the click, long before its end.
    EXPECT_LT(front_.progress, 50);
}

TEST_F(CancelTest, CancelBetweenEntriesKeepsTheFinishedOnes) {
    server_.ServeBody("/files/corvex.zip", BuildZip({{"corvex.chm", "help"}}));
    server_.ServeBody("/files/d.zip", BuildZip({{"d.txt", "new d"}}));
    WriteManifest("[corvex.chm]\r\nUpdateFile=/files/corvex.zip\r\n[d.txt]\r\nUpdateFile=/files/d.zip\r\n");
    // Cancel arrives while the help shortcut is written, after the first entry's download.
    updater_->createHelpShortcut = [this](const HelpShortcut&) { front_.cancelRequested = true; };
    updater_->RunEntries(true);
    EXPECT_TRUE(updater_->PassCancelled());
    EXPECT_EQ(FileBytes(install_ + "corvex.chm"), "help");
    EXPECT_EQ(server_.CountRequests("/files/d.zip"), 0);
    EXPECT_FALSE(platform::PathExists(install_ + "d.txt"));
}

TEST_F(CancelTest, TheSetUpToolStartsOnceAfterThePassHasEnded) {
    // The manifest lists the set-up tool before a module: started in the middle of the pass,
    // the tool would index the old module.
    ASSERT_TRUE(WriteFileBytes(install_ + "cfg\\corpa.txt", "old text"));
    server_.ServeBody("/files/envoke.zip", BuildZip({{"Envoke.exe", "new envoke"}}));
    server_.ServeBody("/files/corpa.zip", BuildZip({{"corpa.txt", "new text"}}));
    WriteManifest("[Envoke.exe]\r\nUpdateFile=/files/envoke.zip\r\nTargetPath=cfg\r\nFileDateTime=2099-01-01 00:00\r\n"
                  "[corpa.txt]\r\nUpdateFile=/files/corpa.zip\r\nTargetPath=cfg\r\nFileDateTime=2099-01-01 00:00\r\n");
    std::vector<std::string> moduleWhenStarted;
    updater_->startProgram = [&](const GbString& program, const std::vector<std::string>& arguments) {
        started_.push_back({program, arguments});
        moduleWhenStarted.push_back(FileBytes(install_ + "cfg\\corpa.txt"));
    };
    updater_->RunEntries(true);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].program, install_ + "cfg\\Envoke.exe");
    EXPECT_EQ(started_[0].arguments, std::vector<std::string>{"-q"});
    EXPECT_EQ(moduleWhenStarted, std::vector<std::string>{"new text"});

    // Cancelled after the tool was replaced: it still starts, once, when the pass has ended;
    // the module being downloaded stays as it was.
    started_.clear();
    moduleWhenStarted.clear();
    ASSERT_TRUE(WriteFileBytes(install_ + "cfg\\corpa.txt", "old text"));
    server_.Serve("/files/corpa.zip", SlowArchive("corpa.txt", 60000));
    CancelDuring("/files/corpa.zip", 2);
    updater_->RunEntries(true);
    EXPECT_TRUE(updater_->PassCancelled());
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(moduleWhenStarted, std::vector<std::string>{"old text"});
}

// The whole dialog flow: Cancel closes it, in the check pass as in the apply pass.
class CancelFlowTest : public testing::UpdaterFixture {
protected:
    std::unique_ptr<UpdateFlow> MakeFlow() {
        FlowSetup setup;
        setup.startup.productName = GbString("Corvex");
        setup.startup.installDir = GbString(install_);
        setup.url = ParseManifestUrl("http://127.0.0.1:" + std::to_string(server_.Port()) + "/update.ini");
        setup.ownDir = GbString(install_);
        setup.tempDir = GbString(temp_);
        setup.userAgent = GbString("cvupdate");
        auto flow = std::make_unique<UpdateFlow>(front_, setup);
        flow->Core().startProgram = updater_->startProgram;
        flow->findRunningProduct = [](std::string_view) { return std::nullopt; };
        return flow;
    }
};

TEST_F(CancelFlowTest, CancelClosesTheDialogAndKeepsNoManifest) {
    // Cancel while the manifest arrives: no copy of it, and the dialog closes.
    HttpReply slowManifest;
    slowManifest.body = "[a.txt]\r\nUpdateFile=/files/a.zip\r\n" + std::string(20000, ';') + "\r\n";
    slowManifest.chunk = 1000;
    slowManifest.chunkDelayMs = 2;
    server_.Serve("/update.ini", slowManifest);
    front_.onPump = [this] { front_.cancelRequested = true; };
    std::unique_ptr<UpdateFlow> flow = MakeFlow();
    flow->Initialise();
    flow->PressDefault();
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Closed);
    EXPECT_EQ(front_.status, updater_text::kStatusCancelled);
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    EXPECT_EQ(server_.CountRequests("/files/a.zip"), 0);

    // Cancel during the apply pass: the dialog closes, the manifest copy goes.
    front_.onPump = nullptr;
    front_.cancelRequested = false;
    server_.ServeBody("/update.ini", "[a.txt]\r\nUpdateFile=/files/a.zip\r\n");
    server_.Serve("/files/a.zip", SlowArchive("a.txt", 60000));
    flow = MakeFlow();
    flow->Initialise();
    flow->PressDefault();
    ASSERT_EQ(flow->NextStep(), UpdateFlow::Step::Apply);
    front_.onPump = [this] { front_.cancelRequested = true; };
    flow->PressDefault();
    EXPECT_EQ(flow->NextStep(), UpdateFlow::Step::Closed);
    EXPECT_EQ(front_.status, updater_text::kStatusCancelled);
    EXPECT_FALSE(front_.busy);
    EXPECT_FALSE(platform::PathExists(install_ + "a.txt"));
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    EXPECT_TRUE(platform::ListDirectory(install_ + "update").empty());
}

}  // namespace
}  // namespace quillax
