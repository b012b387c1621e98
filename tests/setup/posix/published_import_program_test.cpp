// The parallel versions of a copy of the sample installation as a reader meets them, through the
// built envoke and the command-line host, which renders a chapter in a reading layout with
// parallel versions: the versions the sample lists after a fresh set-up run, and a published
// Bible imported with the tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "setup/posix/envoke_program.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::ProgramRun;
using testsupport::Quoted;
using testsupport::RunEnvokeProgram;
using testsupport::SystemForm;
using testsupport::TempDirectory;

// Standard output of a command.
std::string Output(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    ::pclose(pipe);
    return output;
}

// A copy of the sample installation in work, by its path in the system's form.
std::string CopySample(const TempDirectory& work) {
    const std::string root = SystemForm(work.Path() + "sample");
    std::error_code error;
    std::filesystem::copy(QUILLAX_SOURCE_DIR "/sample", root, std::filesystem::copy_options::recursive, error);
    EXPECT_FALSE(error) << error.message();
    return root;
}

TEST(SampleInstallationProgram, AFreshSetUpRunLetsTheParallelLayoutShowTheListedVersions) {
    TempDirectory work;
    const std::string root = CopySample(work);
    const std::string cfg = root + "/cfg/";
    ASSERT_FALSE(platform::PathExists(cfg + "usr/kjv.inx")) << "the sample ships without indexes";

    const ProgramRun run = RunEnvokeProgram(cfg, "", {"-q"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // The set-up run itself indexed both versions that EQUATEFILE lists (the host below builds
    // missing indexes of its own, so they must be there before it runs).
    for (const char* module : {"usr/kjv", "usr/web"}) {
        // Keyed by its chapter lines, Genesis 1 starting on the line after "01001:=".
        const std::string index = platform::ReadWholeFile(cfg + module + ".inx").value_or("");
        EXPECT_EQ(index.substr(0, 8), testsupport::ChapterRecord(1001, 8)) << module;
    }

    const std::string page = Output(Quoted(SystemForm(platform::ProgramDirectory()) + "/quillax-cli") + " page " +
                                    Quoted(root) + " 01001 --layout 2 2>&1");
    EXPECT_NE(page.find("In the beginning God created the heaven and the earth."), std::string::npos)
        << "King James Version, Genesis 1:1\n" << page.substr(0, 2000);
    EXPECT_NE(page.find("In the beginning, God created the heavens and the earth."), std::string::npos)
        << "World English Bible, Genesis 1:1";
    EXPECT_EQ(page.find("building the module indexes"), std::string::npos) << "the set-up run left none to build";
}

TEST(PublishedImportProgram, AnImportedUsfmFolderShowsAsAParallelVersion) {
    TempDirectory work;
    const std::string root = CopySample(work);
    ASSERT_FALSE(::testing::Test::HasFailure());
    // 和合本 (a Chinese Union Version of our own words): Genesis 1:1 in UTF-8, with a note.
    const std::string folder = SystemForm(work.Path() + "cuv");
    ASSERT_TRUE(platform::MakeDirectories(folder));
    ASSERT_TRUE(platform::WriteWholeFile(folder + "/01-GEN.usfm",
                                         u8"\\id GEN\n\\h 创世记\n\\c 1\n\\p\n"
                                         u8"\\v 1 起初，神创造天地。\\f + \\ft 脚注不是经文\\f*\n\\v 2 地是空虚混沌。\n"));

    const ProgramRun run = RunEnvokeProgram(root + "/cfg", "", {"-import", folder});
    EXPECT_NE(run.output.find(platform::GbkToUtf8("usr\\cuv: 1 book, 1 chapter, 2 verses.")), std::string::npos)
        << run.output;
    EXPECT_NE(platform::ReadWholeFile(root + "/cfg/bible.ini").value_or("").find("EQUATEFILE=usr\\kjv,usr\\web,usr\\cuv"),
              std::string::npos);

    const std::string page = Output(Quoted(SystemForm(platform::ProgramDirectory()) + "/quillax-cli") + " page " +
                                    Quoted(root) + " 01001 --layout 2 2>&1");
    EXPECT_NE(page.find(u8"起初，神创造天地。"), std::string::npos) << page.substr(0, 2000);
    EXPECT_NE(page.find(u8"地是空虚混沌。"), std::string::npos);
    EXPECT_EQ(page.find(u8"脚注不是经文"), std::string::npos) << "the note is not verse text";
    EXPECT_NE(page.find("In the beginning God created the heaven and the earth."), std::string::npos)
        << "the sample's King James text, the first parallel version";
}

}  // namespace
}  // namespace quillax
