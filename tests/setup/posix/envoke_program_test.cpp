// The built envoke program on Linux: its command line from the arguments, the closing message
// on standard output (UTF-8), and the index files it writes.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/driver.h"
#include "setup/posix/envoke_program.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::ChapterRecord;
using testsupport::ProgramRun;
using testsupport::Quoted;
using testsupport::SystemForm;
using testsupport::RunEnvokeProgram;
using testsupport::TempDirectory;
using testsupport::TempInstallation;
using testsupport::TextRecord;

std::string Utf8(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

TEST(EnvokeProgram, IndexModeWritesTheIndexesAndReportsOnStandardOutput) {
    TempInstallation install;
    install.Write("sys\\zendri.txt", "01001:=\r\nnote\r\n66022:=\n");
    install.Write("usr\\niv.txt", "01001:=\nIn the beginning\n01002:=\nAnd\n");
    install.Write("usr\\days.txt", "one\r\ntwo\r\n");

    // Options with "/" and any case; paths with "/" stay paths.
    const ProgramRun run = RunEnvokeProgram(install.Config(), "", {"sys/zendri", "USR\\niv", "/:="});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(install.Read("sys\\zendri.inx"),
              ChapterRecord(1001, 9) + std::string("\xFE\xFD:=", 4) + testsupport::Le32(23) + TextRecord("", 23));
    EXPECT_EQ(install.Read("usr\\niv.inx"), ChapterRecord(1001, 8) + ChapterRecord(1002, 33) + TextRecord("", 37));
    EXPECT_TRUE(platform::IsReadOnly(install.Config() + "usr\\niv.inx"));
    EXPECT_EQ(run.output.rfind("[Orvane]\n", 0), 0u) << run.output;
    EXPECT_NE(run.output.find(Utf8("索引重建完成。")), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("sys/zendri"), std::string::npos) << run.output;

    // Quiet: nothing on standard output. The empty marker with the line flag is "-" + "line".
    const ProgramRun quiet = RunEnvokeProgram(install.Root(), "", {"-q", "usr/days", "-line"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.output, "");
    // The marker "line" itself is searched; no line holds it.
    EXPECT_EQ(install.Read("usr\\days.inx"), TextRecord("", 10));
}

TEST(EnvokeProgram, ShowsTheUsageAndTheMissingFilesMessage) {
    TempInstallation install;
    const ProgramRun help = RunEnvokeProgram(install.Config(), "", {"-HELP"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.output, "[Orvane]\n" + Utf8(kUsageText) + "\n");

    // Nowhere near an installation and nothing registered: the message shows despite "-q".
    ASSERT_TRUE(platform::DeleteRegistryTree(platform::RegistryRoot::CurrentUser, "Software\\quillax"));
    TempDirectory elsewhere;
    const ProgramRun lost = RunEnvokeProgram(elsewhere.Path(), "", {"-q"});
    EXPECT_EQ(lost.exitCode, 0);
    EXPECT_EQ(lost.output, "[Orvane]\n" + Utf8(kMissingFilesMessage) + "\n");
}

TEST(EnvokeProgram, EndsWithExitCodeMinusOneWhenMemoryRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reports the failed allocation itself";
#else
    EXPECT_EXIT(
        {
            InstallOutOfMemoryHandler();
            static volatile void* sink = ::operator new(std::size_t{1} << 50);
            (void)sink;
        },
        ::testing::ExitedWithCode(255), "");
#endif
}

}  // namespace
}  // namespace quillax
