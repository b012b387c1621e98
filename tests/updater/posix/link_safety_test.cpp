// The updater on Linux never writes or deletes through a link that leads out of the
// installation, and unpacks entry names up to the file-name limit (reporting those beyond it).
#include <unistd.h>

#include "updater/updater_fixture.h"

#include "platform/code_page.h"
#include "platform/posix/posix_test_support.h"
#include "updater/texts.h"

namespace quillax {
namespace {

using testing::BuildZip;
using testing::FileBytes;
using testing::WriteFileBytes;

using testing::SystemForm;

class LinkSafetyTest : public testing::UpdaterFixture {
protected:
    void SetUp() override {
        UpdaterFixture::SetUp();
        ASSERT_TRUE(platform::MakeDirectories(outside_));
        ASSERT_TRUE(WriteFileBytes(outside_ + "\\x.zip", "the user's own x.zip"));
    }
    // Makes `link` (below the installation) a link to the folder outside it.
    void LinkOut(const std::string& link, const std::string& target) {
        ASSERT_EQ(::symlink(SystemForm(target).c_str(), SystemForm(link).c_str()), 0) << link;
    }
    static std::string Line(const std::string& subject, const std::string& text) { return subject + text; }

    std::string outside_ = scratch_ / "outside";
};

TEST_F(LinkSafetyTest, ATargetPathThatLeadsOutIsRefused) {
    LinkOut(install_ + "linked", outside_);
    server_.ServeBody("/files/x.zip", BuildZip({{"x.txt", "new x"}}));
    WriteManifest("[x.txt]\r\nUpdateFile=/files/x.zip\r\nTargetPath=linked\r\n"
                  "[y.txt]\r\nUpdateFile=/files/x.zip\r\nTargetPath=linked\\deeper\r\nFileDateTime=2099-01-01 00:00\r\n");
    // The check pass makes no folder out there either.
    EXPECT_TRUE(updater_->RunEntries(false));
    EXPECT_FALSE(platform::PathExists(outside_ + "\\deeper"));

    front_.lines.clear();
    updater_->RunEntries(true);
    EXPECT_FALSE(platform::PathExists(outside_ + "\\x.txt"));
    EXPECT_EQ(server_.CountRequests("/files/x.zip"), 0);
    const std::string updating = updater_text::kLineUpdating;
    EXPECT_EQ(Lines(), (std::vector<std::string>{updating + "x.txt...",
                                                 Line(install_ + "linked\\", updater_text::kLineLinkOutside),
                                                 updating + "y.txt...",
                                                 Line(install_ + "linked\\deeper\\", updater_text::kLineLinkOutside)}));
    EXPECT_EQ(FileBytes(outside_ + "\\x.zip"), "the user's own x.zip");
    ::unlink(SystemForm(install_ + "linked").c_str());
}

TEST_F(LinkSafetyTest, AnUpdateFolderThatLeadsOutIsNotUsed) {
    // The update folder is a link to a folder that holds a file of the download's name: it is
    // neither written nor deleted.
    ASSERT_TRUE(platform::RemoveEmptyDirectory(install_ + "update"));
    LinkOut(install_ + "update", outside_);
    server_.ServeBody("/files/x.zip", BuildZip({{"x.txt", "new x"}}));
    EXPECT_FALSE(updater_->DownloadAndInstall("/files/x.zip", install_));
    EXPECT_EQ(FileBytes(outside_ + "\\x.zip"), "the user's own x.zip");
    EXPECT_FALSE(platform::PathExists(outside_ + "\\x.zip.upg"));
    EXPECT_FALSE(platform::PathExists(install_ + "x.txt"));
    EXPECT_EQ(Lines(), std::vector<std::string>{Line(install_ + "update\\", updater_text::kLineLinkOutside)});
    ::unlink(SystemForm(install_ + "update").c_str());
}

TEST_F(LinkSafetyTest, LinksInsideTheInstallationAreReplacedNotWrittenThrough) {
    // A left-over part that is a link, and an archive folder below a link: what they lead to is
    // not touched, and the rest of the archive is unpacked.
    ASSERT_TRUE(WriteFileBytes(outside_ + "\\victim.txt", "the user's own victim"));
    LinkOut(install_ + "update\\x.zip.upg", outside_ + "\\victim.txt");
    LinkOut(install_ + "doc", outside_);
    server_.ServeBody("/files/x.zip", BuildZip({{"doc/", "", false, 0, 0x10},
                                                {"doc/help/", "", false, 0, 0x10},
                                                {"doc/help/x.txt", "new x"}}));
    EXPECT_FALSE(updater_->DownloadAndInstall("/files/x.zip", install_));
    EXPECT_EQ(FileBytes(outside_ + "\\victim.txt"), "the user's own victim");
    EXPECT_FALSE(platform::PathExists(outside_ + "\\help"));
    EXPECT_EQ(FileBytes(install_ + "x.txt"), "new x");
    // The folder entries that would have landed outside are listed, and the entry is not done.
    EXPECT_EQ(Lines(), (std::vector<std::string>{Line(updater_text::kLineEntryNotUnpacked, "doc/"),
                                                 Line(updater_text::kLineEntryNotUnpacked, "doc/help/")}));
    ::unlink(SystemForm(install_ + "doc").c_str());
}

TEST_F(LinkSafetyTest, LongEntryNamesAreUnpackedOrListed) {
    // Names of 243 to 255 bytes fill the file-name limit once a temporary name adds to them.
    std::vector<testing::ZipEntry> entries;
    for (std::size_t length = 243; length <= 255; ++length) {
        entries.emplace_back(std::string(length - 4, static_cast<char>('a' + length % 26)) + ".txt",
                             "entry " + std::to_string(length));
    }
    // 127 Chinese characters: 254 bytes in the archive, 381 in a Linux file name.
    std::string chinese;
    for (int i = 0; i < 127; ++i) {
        chinese += platform::Utf16ToGbk(u"经");
    }
    entries.emplace_back(chinese, "too long for the disk");
    server_.ServeBody("/files/long.zip", BuildZip(entries));
    WriteManifest("[long.txt]\r\nUpdateFile=/files/long.zip\r\n");
    updater_->RunEntries(true);
    for (std::size_t length = 243; length <= 255; ++length) {
        EXPECT_EQ(FileBytes(install_ + std::string(length - 4, static_cast<char>('a' + length % 26)) + ".txt"),
                  "entry " + std::to_string(length));
    }
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(updater_text::kLineUpdating) + "long.txt...",
                                                 Line(updater_text::kLineEntryNotUnpacked, chinese)}));
    // Nothing but the unpacked files is left beside them.
    std::size_t files = 0;
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(install_)) {
        files += (entry.attributes & platform::kAttrDirectory) == 0 ? 1 : 0;
    }
    EXPECT_EQ(files, 13u);
}

}  // namespace
}  // namespace quillax
