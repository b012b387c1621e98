// The import of whole published Bibles that Debian ships, checked verse by verse against
// diatheke's text of the same verses by tools/kjv/compare_import.py: the King James Version and
// the World English Bible as OSIS (exported by SWORD's mod2osis), and the World English Bible
// in USFM from bibledit-data. Skipped when one of the packages is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/files.h"
#include "setup/posix/envoke_program.h"
#include "setup/setup_test_support.h"

namespace quillax {
namespace {

using testsupport::Quoted;
using testsupport::SystemForm;
using testsupport::TempDirectory;

TEST(PublishedBibleData, EveryVerseOfThreeEditionsMatchesDiatheke) {
    TempDirectory work;
    const std::string report = SystemForm(work.Path() + "report.txt");
    const std::string command = "python3 " + Quoted(QUILLAX_SOURCE_DIR "/tools/kjv/compare_import.py") +
                                " --envoke " + Quoted(SystemForm(platform::ProgramDirectory()) + "/envoke") +
                                " --work " + Quoted(SystemForm(work.Path() + "work")) + " --report " +
                                Quoted(report) + " kjv-osis web-osis web-usfm 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    const int status = ::pclose(pipe);
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (exitCode == 2) {
        GTEST_SKIP() << output;
    }
    // The summary lines of each edition, and on a failure the whole list of differences.
    const std::string text = platform::ReadWholeFile(report).value_or("(no report) " + output);
    std::string summary;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind("== ", 0) == 0 || line.find("PROBLEM") != std::string::npos) summary += line + "\n";
        start = end + 1;
    }
    std::printf("%s", summary.c_str());
    EXPECT_EQ(exitCode, 0) << output << text;
}

}  // namespace
}  // namespace quillax
