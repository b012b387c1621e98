// Downloads over HTTP: the platform rules (HTTP/1.0, no redirects followed, reads of at most
// 2,048 bytes, the body saved whatever the status) and DownloadAndInstall's handling of each
// kind of answer.
#include "updater/updater_fixture.h"

#include <algorithm>
#include <cstring>

#include "platform/sha256.h"
#include "updater/texts.h"

namespace quillax {
namespace {

using testing::BuildZip;
using testing::FileBytes;
using testing::HttpReply;
using testing::WriteFileBytes;

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    }
    return bytes;
}

class DownloadTest : public testing::UpdaterFixture {
protected:
    std::string UpdateDir() const { return install_ + "update\\"; }
    bool Download(const std::string& file, const std::string& digest = {}) {
        return updater_->DownloadAndInstall(file, install_, digest);
    }
};

TEST_F(DownloadTest, TheConnectionKeepsTheHttpRules) {
    const std::string body = Pattern(20000);
    HttpReply slow;
    slow.body = body;
    slow.chunk = 3000;
    slow.chunkDelayMs = 10;
    server_.Serve("/big.bin", slow);
    std::vector<std::uint64_t> reads;
    platform::HttpCallbacks callbacks;
    callbacks.onRead = [&](std::uint64_t received, const platform::HttpResponseHead& head) {
        reads.push_back(received);
        EXPECT_EQ(head.contentLength.value_or(0), body.size());
        return true;
    };
    const std::string file = scratch_ / "big.bin";
    const platform::HttpTransfer transfer = connection_->GetToFile("big.bin", file, callbacks);
    EXPECT_EQ(transfer.outcome, platform::HttpOutcome::Saved);
    EXPECT_EQ(transfer.head.status, 200);
    EXPECT_EQ(transfer.received, body.size());
    EXPECT_EQ(FileBytes(file), body);
    ASSERT_FALSE(reads.empty());
    EXPECT_GE(reads.size(), body.size() / platform::kHttpReadUnit);
    std::uint64_t previous = 0;
    for (const std::uint64_t received : reads) {
        EXPECT_GT(received, previous);
        EXPECT_LE(received - previous, platform::kHttpReadUnit);
        previous = received;
    }

    EXPECT_EQ(platform::ParseContentLength(" 12\r\n").value_or(0), 12u);
    EXPECT_FALSE(platform::ParseContentLength("12a"));
    EXPECT_FALSE(platform::ParseContentLength(""));

    // A declined head leaves no file.
    platform::HttpCallbacks decline;
    decline.onHead = [](const platform::HttpResponseHead& head) { return head.status != 404; };
    const std::string never = scratch_ / "never.bin";
    EXPECT_EQ(connection_->GetToFile("/nothing", never, decline).outcome, platform::HttpOutcome::Declined);
    EXPECT_FALSE(platform::PathExists(never));

    const std::vector<testing::HttpRequestRecord> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET /big.bin HTTP/1.0");
    EXPECT_NE(std::find(requests[0].headers.begin(), requests[0].headers.end(), "User-Agent: cvupdate"),
              requests[0].headers.end());
}

TEST_F(DownloadTest, AnArchiveIsUnpackedIntoTheTargetAndTheDownloadRemoved) {
    const std::string archive = BuildZip({{"a.txt", Pattern(9000), true}, {"b.txt", "bee"}});
    server_.ServeBody("/files/pack.zip", archive);
    EXPECT_TRUE(Download("/files/pack.zip"));
    EXPECT_EQ(FileBytes(install_ + "a.txt"), Pattern(9000));
    EXPECT_EQ(FileBytes(install_ + "b.txt"), "bee");
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty());
    EXPECT_EQ(front_.statusHistory.front(), std::string(updater_text::kStatusDownloading) + "/files/pack.zip");
    EXPECT_EQ(front_.status, updater_text::kStatusDownloadDone);
    EXPECT_EQ(front_.progress, 100);
    EXPECT_TRUE(std::is_sorted(front_.progressHistory.begin(), front_.progressHistory.end()));
    EXPECT_GT(front_.pumpCount, 0);
    EXPECT_TRUE(front_.messages.empty());
}

TEST_F(DownloadTest, APlainFileIsDownloadedAndThrownAway) {
    ASSERT_TRUE(WriteFileBytes(install_ + "notes.txt", "old notes"));
    server_.ServeBody("/files/notes.txt", "new notes");
    EXPECT_TRUE(Download("/files/notes.txt"));
    EXPECT_EQ(FileBytes(install_ + "notes.txt"), "old notes");
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty());
}

TEST_F(DownloadTest, NotFoundRedirectAndMissingLength) {
    EXPECT_FALSE(Download("/files/missing.zip"));
    EXPECT_EQ(front_.status, "/files/missing.zip" + std::string(updater_text::kStatusNotFound));
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty());
    EXPECT_TRUE(front_.messages.empty());

    // The body of a redirect is taken as the file (here an archive); the target of the
    // redirect is never asked for.
    HttpReply moved;
    moved.status = 301;
    moved.reason = "Moved Permanently";
    moved.headers = {"Location: /files/elsewhere.zip"};
    moved.body = BuildZip({{"moved.txt", "from the redirect body"}});
    server_.Serve("/files/moved.zip", moved);
    EXPECT_TRUE(Download("/files/moved.zip"));
    EXPECT_EQ(FileBytes(install_ + "moved.txt"), "from the redirect body");
    EXPECT_EQ(server_.CountRequests("/files/elsewhere.zip"), 0);

    // Without Content-Length the download goes on; the progress bar does not move.
    HttpReply unsized;
    unsized.body = BuildZip({{"unsized.txt", Pattern(5000)}});
    unsized.contentLength = false;
    server_.Serve("/files/unsized.zip", unsized);
    front_.progressHistory.clear();
    const int pumps = front_.pumpCount;
    EXPECT_TRUE(Download("/files/unsized.zip"));
    EXPECT_EQ(FileBytes(install_ + "unsized.txt"), Pattern(5000));
    EXPECT_TRUE(front_.progressHistory.empty());
    EXPECT_GT(front_.pumpCount, pumps);
}

TEST_F(DownloadTest, ABrokenDownloadFailsItsEntryAndThePassGoesOn) {
    // One rule for every way a body can fail: a reset connection, a body shorter than its
    // Content-Length, a body that stalls, a body that drips slower than the low-speed limit for
    // a whole window. The entry fails with a list line, its partial file is removed, the
    // installed file stays, and the next entry is installed.
    connection_->SetStallTimeout(1000);
    connection_->SetLowSpeedLimit(1024, 1500);
    const std::string archive = BuildZip({{"a.txt", Pattern(30000)}});
    HttpReply reset;
    reset.body = archive;
    reset.resetAfter = archive.size() / 2;
    HttpReply shortBody = reset;
    shortBody.resetAfter = archive.size() - 100;
    shortBody.closeEarly = true;
    HttpReply stalled;
    stalled.body = archive;
    stalled.chunk = archive.size() / 2;
    stalled.chunkDelayMs = 2500;  // a pause longer than the stall time
    HttpReply dripping;
    dripping.body = archive;
    dripping.chunk = 40;
    dripping.chunkDelayMs = 100;  // 400 bytes a second, never quiet for the stall time
    const std::string updating = std::string(updater_text::kLineUpdating) + "a.txt...";
    for (const HttpReply& broken : {reset, shortBody, stalled, dripping}) {
        const bool drips = broken.chunk == dripping.chunk;
        SCOPED_TRACE(drips ? "dripping" : broken.chunkDelayMs > 0 ? "stalled" : broken.closeEarly ? "short" : "reset");
        front_.lines.clear();
        front_.messages.clear();
        ASSERT_TRUE(WriteFileBytes(install_ + "a.txt", "installed"));
        platform::RemoveFile(install_ + "b.txt");
        server_.Serve("/files/a.zip", broken);
        server_.ServeBody("/files/b.zip", BuildZip({{"b.txt", "bee"}}));
        WriteManifest("[a.txt]\r\nUpdateFile=/files/a.zip\r\nFileDateTime=2099-01-01 00:00\r\n"
                      "[b.txt]\r\nUpdateFile=/files/b.zip\r\n");

        EXPECT_TRUE(updater_->RunEntries(true));
        EXPECT_FALSE(updater_->PassCancelled());
        EXPECT_TRUE(FileBytes(install_ + "a.txt") == "installed");
        EXPECT_EQ(FileBytes(install_ + "b.txt"), "bee");
        EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty()) << "no partial file is left";
        EXPECT_TRUE(front_.messages.empty());
        const std::vector<std::string> lines = Lines();
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], updating);
        EXPECT_EQ(lines[1].rfind("/files/a.zip" + std::string(updater_text::kLineDownloadFailed), 0), 0u)
            << lines[1];
        EXPECT_GT(lines[1].size(), std::string("/files/a.zip").size() + std::strlen(updater_text::kLineDownloadFailed))
            << "the reason follows";
        if (drips) {
            EXPECT_NE(lines[1].find("under 1024 bytes a second for 1.5 s"), std::string::npos) << lines[1];
        }
        EXPECT_EQ(lines[2], std::string(updater_text::kLineUpdating) + "b.txt...");
        EXPECT_EQ(lines[3], install_ + "b.txt" + updater_text::kLineUpdated);
    }

    // A part left over by an earlier transfer is replaced, and the download succeeds.
    server_.ServeBody("/files/a.zip", archive);
    ASSERT_TRUE(WriteFileBytes(UpdateDir() + "a.zip.upg", "left over"));
    EXPECT_TRUE(Download("/files/a.zip"));
    EXPECT_TRUE(FileBytes(install_ + "a.txt") == Pattern(30000));
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty());
}

TEST_F(DownloadTest, AFullDiskRemovesThePartialDownloadAndSaysSo) {
    ASSERT_TRUE(WriteFileBytes(install_ + "a.txt", "installed"));
    server_.ServeBody("/files/a.zip", BuildZip({{"a.txt", Pattern(30000)}}));
    platform::SetWriteFault(platform::WriteFault::DuringWrite);
    const bool installed = Download("/files/a.zip");
    platform::SetWriteFault(platform::WriteFault::None);
    EXPECT_FALSE(installed);
    ASSERT_EQ(front_.messages.size(), 1u);
    EXPECT_EQ(front_.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(front_.messages[0].text, std::string(updater_text::kMessageWriteFailed) + UpdateDir() + "a.zip" +
                                           updater_text::kMessageDiskFullEnd);
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty()) << "the partial download does not keep the disk full";
    EXPECT_TRUE(FileBytes(install_ + "a.txt") == "installed");
}

TEST_F(DownloadTest, TheDigestIsCheckedBeforeInstalling) {
    const std::string archive = BuildZip({{"c.txt", "checked"}});
    const std::string digest = platform::Sha256Hex(archive).value_or("");
    ASSERT_EQ(digest.size(), 64u);
    EXPECT_EQ(platform::Sha256Hex("abc").value_or(""),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    server_.ServeBody("/files/c.zip", archive);
    server_.ServeBody("/files/d.zip", BuildZip({{"d.txt", "dee"}}));

    std::string wrong = digest;
    wrong[10] = wrong[10] == '0' ? '1' : '0';
    WriteManifest("[c.txt]\r\nUpdateFile=/files/c.zip\r\nSha256=" + wrong +
                  "\r\n[d.txt]\r\nUpdateFile=/files/d.zip\r\n");
    EXPECT_TRUE(updater_->RunEntries(true));
    EXPECT_FALSE(updater_->PassCancelled());
    EXPECT_FALSE(platform::PathExists(install_ + "c.txt"));
    EXPECT_EQ(FileBytes(install_ + "d.txt"), "dee");
    EXPECT_NE(std::find(front_.lines.begin(), front_.lines.end(),
                        GbString("/files/c.zip" + std::string(updater_text::kLineDigestMismatch))),
              front_.lines.end());
    EXPECT_TRUE(platform::ListDirectory(UpdateDir()).empty());

    // Upper-case hex and blanks around it are fine.
    std::string upper = digest;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
        return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    EXPECT_TRUE(Download("/files/c.zip", " " + upper));
    EXPECT_EQ(FileBytes(install_ + "c.txt"), "checked");
    EXPECT_FALSE(Download("/files/c.zip", "not a digest"));
}

TEST_F(DownloadTest, FailuresToConnectOrToWriteAreReported) {
    unsigned closedPort = 0;
    {
        testing::LoopbackServer gone;
        closedPort = gone.Port();
    }
    platform::HttpConnection nowhere("cvupdate", "127.0.0.1", closedPort);
    UpdaterSetup setup = updater_->Setup();
    Updater offline(front_, nowhere, setup);
    EXPECT_FALSE(offline.DownloadAndInstall("/files/x.zip", install_));
    ASSERT_EQ(front_.messages.size(), 1u);
    EXPECT_EQ(front_.messages[0].icon, MessageIcon::None);
    EXPECT_FALSE(front_.messages[0].text.IsEmpty());
    EXPECT_FALSE(offline.PassCancelled());

    // No download directory: the ".upg" file cannot be created.
    server_.ServeBody("/files/x.zip", BuildZip({{"x.txt", "x"}}));
    setup.ownDir = GbString(scratch_ / "no-such-dir\\");
    Updater homeless(front_, *connection_, setup);
    EXPECT_FALSE(homeless.DownloadAndInstall("/files/x.zip", install_));
    ASSERT_EQ(front_.messages.size(), 2u);
    EXPECT_EQ(front_.messages[1].icon, MessageIcon::Stop);
    EXPECT_EQ(front_.messages[1].text, std::string(updater_text::kMessageWriteFailed) + scratch_.dir() +
                                           "no-such-dir\\update\\x.zip" + updater_text::kMessageWriteFailedEnd);
    EXPECT_FALSE(platform::PathExists(install_ + "x.txt"));
}

}  // namespace
}  // namespace quillax
