// The dialog stays alive during a download: after every read of the body (at most 2,048 bytes)
// the progress bar moves and pending window messages are handled; a configuration file moves
// no bar but still lets the window breathe.
#include "updater/updater_fixture.h"

#include <algorithm>

namespace quillax {
namespace {

using testing::HttpReply;

class DownloadProgressTest : public testing::UpdaterFixture {};

TEST_F(DownloadProgressTest, EveryReadMovesTheBarAndPumpsMessages) {
    std::string body(64 * 1024, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>(i * 31 % 251);
    }
    HttpReply paced;
    paced.body = body;
    paced.chunk = 1000;  // smaller than a read, so every read waits for its bytes
    paced.chunkDelayMs = 1;
    server_.Serve("/files/data.bin", paced);

    EXPECT_TRUE(updater_->DownloadAndInstall("/files/data.bin", install_));
    const std::vector<int>& bar = front_.progressHistory;
    ASSERT_FALSE(bar.empty());
    // One bar position and one message pump per read, and no read beyond the 2,048-byte unit.
    EXPECT_EQ(static_cast<int>(bar.size()), front_.pumpCount);
    EXPECT_GE(bar.size(), body.size() / platform::kHttpReadUnit);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(bar.back(), 100);
    // Integer percentages of what has arrived: the bar is below 100 until the last read.
    EXPECT_LT(bar[bar.size() - 2], 100);
    EXPECT_LE(bar.front(), static_cast<int>(platform::kHttpReadUnit * 100 / body.size()));

    // A downloaded bible.ini leaves the bar alone; the window is still served.
    front_.progressHistory.clear();
    const int pumps = front_.pumpCount;
    HttpReply ini;
    ini.body = "[FIXGB2312TOGBK]\r\nWORD_GBK=x\r\n" + std::string(5000, ';') + "\r\n";
    server_.Serve("/files/bible.ini", ini);
    EXPECT_TRUE(updater_->DownloadAndInstall("/files/bible.ini", install_ + "cfg\\"));
    EXPECT_TRUE(front_.progressHistory.empty());
    EXPECT_GE(front_.pumpCount - pumps, 3);
}

}  // namespace
}  // namespace quillax
