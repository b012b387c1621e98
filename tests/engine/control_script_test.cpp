// Interaction scripts: a hover cycle, a click and a key played against the fake page, with the
// host operations printed after each command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_fixture.h"
#include "engine/com/interaction_script.h"
#include "platform/files.h"

namespace quillax {
namespace {

using testing::ControlTest;

class ControlScriptTest : public ControlTest {
protected:
    // The transcript lines from the one of command up to the next command.
    static std::string Section(const std::string& transcript, const std::string& command) {
        const std::size_t start = transcript.find("> " + command + "\n");
        if (start == std::string::npos) return "<missing>";
        const std::size_t end = transcript.find("\n> ", start + 1);
        return transcript.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
    }
};

TEST_F(ControlScriptTest, AHoverCycleAClickAndAKey) {
    control.reset();  // the script brings its own control and host
    const std::string script =
        "# a page with two verse links and a note\n"
        "page <p><a href=01001>创1:1</a> <A HREF=\"43003\" id=009 title=x>约3:16</A> <b>亚伯拉罕</b></p>\n"
        "hover href=01001\n"
        "wait 399\n"
        "wait 1\n"
        "popup\n"
        "leave\n"
        "wait 300\n"
        "popup\n"
        "click text=创1:1\n"
        "history\n"
        "key *\n"
        "frobnicate\n"
        "hover 777\n";
    std::string transcript;
    EXPECT_EQ(RunInteractionScript(state(), script, transcript), 2);

    // The hover makes the popup window and reads the link as the browser shows it.
    const std::string hover = Section(transcript, "hover href=01001");
    EXPECT_NE(hover.find("  popup.Create text\n"), std::string::npos) << hover;
    EXPECT_NE(hover.find("  SourceInnerText\n"), std::string::npos) << hover;
    EXPECT_EQ(Section(transcript, "wait 399"), "> wait 399\n");
    const std::string fired = Section(transcript, "wait 1");
    EXPECT_NE(fired.find("起初，神创造天地。</body></html>\n"), std::string::npos) << transcript;
    EXPECT_NE(fired.find("  popup.Show\n"), std::string::npos);
    EXPECT_NE(transcript.find("> popup\n  = shown visible <html><body>"), std::string::npos);
    EXPECT_NE(Section(transcript, "wait 300").find("  popup.Hide\n"), std::string::npos);
    EXPECT_NE(transcript.find("> popup\n  = hidden invisible "), std::string::npos);

    // The click opens the chapter and runs "fix()"; the history shows the entry.
    const std::string click = Section(transcript, "click text=创1:1");
    EXPECT_NE(click.find("  SetWindowCaption 圣经 - 创世记 创1:1\n"), std::string::npos) << click;
    EXPECT_NE(click.find("  RunScript fix()\n  CancelEvent\n"), std::string::npos) << click;
    EXPECT_NE(Section(transcript, "history").find("  * 01001 | 创1:1 | -1\n"), std::string::npos)
        << transcript;
    // The popup has closed: the key is read and handled (no layout change on this page).
    const std::string key = Section(transcript, "key *");
    EXPECT_NE(key.find("  BodyInnerHtml\n"), std::string::npos) << key;
    EXPECT_EQ(key.find("CancelEvent"), std::string::npos) << key;
    EXPECT_EQ(state().extendNote, 3);

    // Lines not understood are reported and skipped.
    EXPECT_NE(transcript.find("> frobnicate\n  ? unknown command\n"), std::string::npos);
    EXPECT_NE(transcript.find("> hover 777\n  ? no element of the page matches\n"), std::string::npos);

    // The session leaves the state's services as it found them.
    EXPECT_EQ(state().events.timers, &timers);
    EXPECT_EQ(state().host.pageWindow, nullptr);
    EXPECT_EQ(state().host.popupWindow, nullptr);
}

TEST_F(ControlScriptTest, TheCommandReadsAUtf8ScriptFileAndPrintsUtf8) {
    control.reset();
    // The script file is UTF-8, as a user writes it.
    const std::string file = inst.path() + "\\script.txt";
    ASSERT_TRUE(platform::WriteWholeFile(
        file, "page <p><a href=01001>\xE5\x88\x9B" "1:1</a></p>\nhover text=\xE5\x88\x9B" "1:1\n"));
    RenderState* loaded = nullptr;
    const InstallationLoader load = [&](const GbString& dir, RenderState& fresh) {
        loaded = &fresh;
        fresh.installDir = state().installDir;
        fresh.cmpStr = state().cmpStr;
        return dir == "install";
    };
    std::string name = "interact", install = "install", missing = "elsewhere";
    std::string path = file;
    std::vector<char*> argv = {name.data(), install.data(), path.data()};

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(RunInteractCommand(3, argv.data(), load), 0);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("> hover text=\xE5\x88\x9B" "1:1\n  popup.Create text\n  CurrentEvent\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(loaded, nullptr);

    argv[1] = missing.data();
    EXPECT_EQ(RunInteractCommand(3, argv.data(), load), 1);
    std::string nofile = inst.path() + "\\none.txt";
    argv[1] = install.data();
    argv[2] = nofile.data();
    EXPECT_EQ(RunInteractCommand(3, argv.data(), load), 1);
    EXPECT_EQ(RunInteractCommand(1, argv.data(), load), 2);
}

}  // namespace
}  // namespace quillax
