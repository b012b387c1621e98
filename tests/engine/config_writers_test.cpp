// The three programs that rewrite bible.ini, at the same moment against one installation: the
// engine writing a setting, the set-up tool importing modules and the updater merging
// downloaded files. Each rewrite reads the whole file, changes it and renames a new file over
// it; whatever each of them added must still be in the file at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/state/render_state.h"
#include "platform/files.h"
#include "platform/temp_dir.h"
#include "setup/bible_import.h"
#include "setup/setup_session.h"
#include "setup/text_edit.h"
#include "textlib/config_text.h"
#include "updater/bible_ini_merge.h"
#include "updater/profile_file.h"

namespace quillax {
namespace {

constexpr int kRounds = 25;  // rewrites by each program

// "m07", "g07", ...: names of one width, so that no name is found inside another.
std::string Numbered(const char* prefix, int n) {
    return prefix + std::string(n < 10 ? "0" : "") + std::to_string(n);
}

bool Listed(const GbString& list, const std::string& item) {
    for (const GbString& entry : SplitAll(list, ",")) {
        if (entry == item) {
            return true;
        }
    }
    return false;
}

TEST(ConfigWritersTest, TheEngineTheImportAndTheMergeLoseNothingOfEachOther) {
    testing::TempDir install;
    testing::TempDir downloads;
    ASSERT_FALSE(install.path().empty());
    ASSERT_FALSE(downloads.path().empty());
    const std::string config = install.path() + "\\";
    const std::string ini = config + "bible.ini";
    ASSERT_TRUE(platform::MakeDirectories(config + "usr"));
    ASSERT_TRUE(platform::WriteWholeFile(
        ini, "[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=\r\nSEARCH=start\r\n"
             "[config]\r\nUPDATEURL=http://127.0.0.1/update.ini\r\n"
             "[FIXGB2312TOGBK]\r\nWORD_GB2=\r\nWORD_GBK=\r\n"));
    int verses = 0;
    const std::string moduleText =
        ConvertVerseList("gen\t1\t1\t1\tIn the beginning God created the heaven and the earth.\n", verses);
    ASSERT_EQ(verses, 1);

    std::atomic<int> waiting{3};
    const auto startTogether = [&waiting] {
        waiting.fetch_sub(1);
        while (waiting.load() > 0) {
            std::this_thread::yield();
        }
    };
    std::atomic<int> failures{0};

    // The engine: the reader's searches, remembered in SEARCH= (the control's getcfg write).
    std::thread engine([&] {
        RenderState state;
        state.installDir = GbString(config);
        startTogether();
        for (int i = 0; i < kRounds; ++i) {
            GbString value(Numbered("e", i));
            SetConfigValue(state, "search=", value);
        }
    });
    // The set-up tool: one imported module after another, each added to EQUATEFILE=.
    std::thread setup([&] {
        SetupSession session;
        session.configDirectory = GbString(config);
        startTogether();
        for (int i = 0; i < kRounds; ++i) {
            if (!InstallImportedModule(session, GbString("usr\\" + Numbered("m", i)), moduleText)) {
                failures.fetch_add(1);
            }
        }
    });
    // The updater: each downloaded bible.ini brings one new item for both correction lists.
    std::thread updater([&] {
        const std::string downloaded = downloads / "bible.ini";
        startTogether();
        for (int i = 0; i < kRounds; ++i) {
            const bool written = platform::WriteWholeFile(
                downloaded, "[FIXGB2312TOGBK]\r\nWORD_GB2=" + Numbered("g", i) +
                                "\r\nWORD_GBK=" + Numbered("k", i) + "\r\n");
            const MergeOutcome outcome = MergeBibleIni(ini, downloaded, nullptr);
            if (!written || !outcome.gb2Grew || !outcome.gbkGrew) {
                failures.fetch_add(1);
            }
        }
    });
    engine.join();
    setup.join();
    updater.join();
    EXPECT_EQ(failures.load(), 0);

    const GbString text = ReadConfigFile(ini);
    const GbString modules = ReadConfigValue(text, "EQUATEFILE=");
    const GbString simplified = ReadProfileValue(ini, "FIXGB2312TOGBK", "WORD_GB2").value_or(GbString());
    const GbString traditional = ReadProfileValue(ini, "FIXGB2312TOGBK", "WORD_GBK").value_or(GbString());
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_TRUE(Listed(modules, "usr\\" + Numbered("m", i))) << "module " << i << " lost: " << modules.str();
        EXPECT_TRUE(platform::FileExists(config + "usr\\" + Numbered("m", i) + ".inx")) << i;
        EXPECT_TRUE(Listed(simplified, Numbered("g", i))) << "merge " << i << " lost: " << simplified.str();
        EXPECT_TRUE(Listed(traditional, Numbered("k", i))) << "merge " << i << " lost: " << traditional.str();
    }
    EXPECT_EQ(ReadConfigValue(text, "SEARCH="), Numbered("e", kRounds - 1));
    EXPECT_EQ(ReadProfileValue(ini, "config", "UPDATEURL").value_or(GbString()), "http://127.0.0.1/update.ini");
    // No lock and no temporary file is left behind.
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(install.path())) {
        EXPECT_TRUE(entry.name == "bible.ini" || entry.name == "usr") << entry.name;
    }
}

}  // namespace
}  // namespace quillax
