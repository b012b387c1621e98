// The Linux program cvupdate end to end: started from the installation's "update" directory it
// relaunches a copy of itself from the installation, checks, asks, installs and finishes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/code_page.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "support/loopback_server.h"
#include "updater/texts.h"
#include "updater/updater_test_support.h"

namespace quillax {
namespace {

using platform::RegistryRoot;
using testing::BuildZip;
using testing::FileBytes;
using testing::WriteFileBytes;

constexpr char kClassId[] = "{A9599F9D-1610-4092-99F3-B602427CC1C3}";

// A path of the program's form as the shell wants it.
std::string Shell(std::string path) {
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return "'" + path + "'";
}

std::string BuiltProgram() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string self(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.rfind('/') + 1) + "cvupdate";
}

// Runs a shell command and returns what it wrote to standard output and standard error.
std::string RunShell(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

std::string Utf8(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

class CvupdateProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        ASSERT_EQ(access(BuiltProgram().c_str(), X_OK), 0) << "cvupdate is not built next to the tests";
        ASSERT_TRUE(platform::MakeDirectories(install_ + "update"));
        ASSERT_TRUE(platform::MakeDirectories(temp_));
        ASSERT_TRUE(platform::MakeDirectories(elsewhere_));
        ASSERT_TRUE(testing::CopyTree("sample\\cfg", install_ + "cfg"));
        std::string ini = FileBytes(install_ + "cfg\\bible.ini");
        const std::size_t url = ini.find("UPDATEURL=");
        ASSERT_NE(url, std::string::npos);
        ini.replace(url, ini.find("\r\n", url) - url, "UPDATEURL=" + server_.Url("/update.ini"));
        ASSERT_TRUE(WriteFileBytes(install_ + "cfg\\bible.ini", ini));
        // The registered engine, with the label Build 2006.07.28 20:25.
        std::string engine = std::string("<<quillax-version>>\x01", 20) + "FileVersion" + '\0' +
                             "2006,07,28,2025" + '\0' + '\0' + std::string("<<end>>\x01\x02\x03", 10);
        ASSERT_TRUE(WriteFileBytes(install_ + "cfg\\quillax.dll", engine));
        ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::CurrentUser, "Software\\quillax", "",
                                                  install_ + "cfg\\"));
        ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::ClassesRoot, "quillax.qlx\\CLSID", "", kClassId));
        ASSERT_TRUE(platform::WriteRegistryString(RegistryRoot::ClassesRoot,
                                                  std::string("CLSID\\") + kClassId + "\\InprocServer32",
                                                  "", install_ + "cfg\\quillax.dll"));
        ASSERT_TRUE(platform::CopyProgramFile(BuiltProgram(), install_ + "update\\cvupdate"));

        server_.ServeBody("/update.ini",
                          "[quillax.dll]\r\nUpdateFile=/files/engine.zip\r\nVersion=Build 2006.07.28 20:25\r\n"
                          "TargetPath=cfg\r\n"
                          "[news.txt]\r\nUpdateFile=/files/news.zip\r\n");
        server_.ServeBody("/files/news.zip", BuildZip({{"news.txt", "good news", true}}));
    }

    void TearDown() override {
        platform::DeleteRegistryTree(RegistryRoot::CurrentUser, "Software\\quillax");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, "quillax.qlx");
        platform::DeleteRegistryTree(RegistryRoot::ClassesRoot, std::string("CLSID\\") + kClassId);
    }

    // Runs the copy in the installation's update directory from another working directory.
    std::string RunFromUpdateDirectory(const std::string& options, const std::string& input = "/dev/null") {
        return RunShell("cd " + Shell(elsewhere_) + " && TMPDIR=" + Shell(temp_) + " " +
                   Shell(install_ + "update\\cvupdate") + " " + options + " < " + input);
    }

    testing::ScratchDir scratch_;
    std::string install_ = scratch_ / "Tessaly\\";
    std::string temp_ = scratch_ / "tmp\\";
    std::string elsewhere_ = scratch_ / "elsewhere";
    testing::LoopbackServer server_;
};

TEST_F(CvupdateProgramTest, RelaunchesFromTheInstallationAndUpdates) {
    const std::string output = RunFromUpdateDirectory("--yes");
    EXPECT_NE(output.find("* " + Utf8(updater_text::kStatusConnecting)), std::string::npos) << output;
    // The product line: no product name, the installed engine label.
    EXPECT_NE(output.find("   Build 2006.07.28 20:25\n"), std::string::npos) << output;
    EXPECT_NE(output.find("  news.txt\n"), std::string::npos) << output;
    EXPECT_NE(output.find("? " + Utf8(updater_text::kQuestionInstallNow) + " [y/n] y"), std::string::npos);
    EXPECT_NE(output.find("* " + Utf8(updater_text::kStatusPassDone)), std::string::npos) << output;
    EXPECT_EQ(FileBytes(install_ + "news.txt"), "good news");
    // The engine is current: not listed, not fetched.
    EXPECT_EQ(output.find("  quillax.dll\n"), std::string::npos);
    EXPECT_EQ(server_.CountRequests("/files/engine.zip"), 0);
    // The copy ran in the installation: downloads went to its "update" directory, nothing was
    // made where the program was started, and the copy is gone.
    EXPECT_FALSE(platform::PathExists(elsewhere_ + "\\update"));
    EXPECT_FALSE(platform::PathExists(install_ + "update\\update"));
    EXPECT_FALSE(platform::PathExists(install_ + "cvupdate"));
    EXPECT_TRUE(platform::FileExists(install_ + "update\\cvupdate"));
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
    const auto requests = server_.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].requestLine, "GET /update.ini HTTP/1.0");
}

TEST_F(CvupdateProgramTest, ChecksOnlyOrStopsWhenTheQuestionGetsNoAnswer) {
    std::string output = RunFromUpdateDirectory("--check");
    EXPECT_NE(output.find("  news.txt\n"), std::string::npos) << output;
    EXPECT_FALSE(platform::PathExists(install_ + "news.txt"));
    // A run that ends after the check leaves the manifest copy behind.
    EXPECT_TRUE(platform::FileExists(temp_ + "cvupdate.ini"));

    output = RunFromUpdateDirectory("");
    EXPECT_NE(output.find("? " + Utf8(updater_text::kQuestionInstallNow) + " [y/n] \n"), std::string::npos)
        << output;
    EXPECT_FALSE(platform::PathExists(install_ + "news.txt"));

    ASSERT_TRUE(WriteFileBytes(scratch_ / "yes.txt", "y\n"));
    output = RunFromUpdateDirectory("", Shell(scratch_ / "yes.txt"));
    EXPECT_EQ(FileBytes(install_ + "news.txt"), "good news") << output;
}

TEST_F(CvupdateProgramTest, CtrlCCancelsTheUpdateLikeTheDialogsCancel) {
    ASSERT_TRUE(WriteFileBytes(install_ + "b.txt", "installed b"));
    server_.ServeBody("/update.ini", "[a.txt]\r\nUpdateFile=/files/a.zip\r\n"
                                     "[b.txt]\r\nUpdateFile=/files/b.zip\r\nFileDateTime=2099-01-01 00:00\r\n"
                                     "[c.txt]\r\nUpdateFile=/files/c.zip\r\n");
    server_.ServeBody("/files/a.zip", BuildZip({{"a.txt", "new a"}}));
    testing::HttpReply slow;
    slow.body = BuildZip({{"b.txt", std::string(100000, 'b')}});
    slow.chunk = 1000;
    slow.chunkDelayMs = 50;  // five seconds in all
    server_.Serve("/files/b.zip", slow);
    server_.ServeBody("/files/c.zip", BuildZip({{"c.txt", "new c"}}));

    // cvupdate --yes in the installation, its output in a file.
    const std::string output = scratch_ / "output.txt";
    std::string outputFile = output;
    for (char& c : outputFile) {
        c = c == '\\' ? '/' : c;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::string program = BuiltProgram();
    std::string yes = "--yes";
    char* argv[] = {program.data(), yes.data(), nullptr};
    const std::string tmpdir = "TMPDIR=" + temp_;
    const std::string registry = std::string("QUILLAX_REGISTRY=") + std::getenv("QUILLAX_REGISTRY");
    std::string environment[] = {tmpdir, registry, "PATH=/usr/bin:/bin"};
    char* envp[] = {environment[0].data(), environment[1].data(), environment[2].data(), nullptr};
    pid_t pid = 0;
    {
        testing::WorkingDirectoryScope inInstallation(install_);
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp), 0);
    }
    posix_spawn_file_actions_destroy(&actions);

    // The user presses Ctrl+C while b.txt is downloading.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (server_.CountRequests("/files/b.zip") == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(kill(pid, SIGINT), 0);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string printed = FileBytes(output);
    ASSERT_TRUE(WIFEXITED(status)) << "the program ends by itself, not by the signal\n" << printed;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(printed.find("* " + Utf8(updater_text::kStatusCancelled)), std::string::npos) << printed;
    EXPECT_EQ(FileBytes(install_ + "a.txt"), "new a");
    EXPECT_EQ(FileBytes(install_ + "b.txt"), "installed b");
    EXPECT_FALSE(platform::PathExists(install_ + "c.txt"));
    EXPECT_EQ(server_.CountRequests("/files/c.zip"), 0);
    // Only the program copy of the update folder is there: no partial download.
    const std::vector<platform::DirectoryEntry> downloads = platform::ListDirectory(install_ + "update");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].name, "cvupdate");
    EXPECT_FALSE(platform::PathExists(temp_ + "cvupdate.ini"));
}

TEST_F(CvupdateProgramTest, ThreeWordsNeedAnHttpUrl) {
    std::string output = RunShell("cd " + Shell(elsewhere_) + " && " + Shell(BuiltProgram()) +
                             " Corvex 2.0 https://127.0.0.1/update.ini");
    EXPECT_NE(output.find("! " + Utf8(updater_text::kMessageBadUrl)), std::string::npos) << output;

    output = RunShell("cd " + Shell(elsewhere_) + " && TMPDIR=" + Shell(temp_) + " " + Shell(BuiltProgram()) +
                 " --check Corvex 2.0 " + server_.Url("/update.ini"));
    EXPECT_NE(output.find("  Corvex 2.0\n"), std::string::npos) << output;
    // Without an installation directory the entries are looked for in the working directory.
    EXPECT_NE(output.find("  quillax.dll\n"), std::string::npos) << output;
    EXPECT_TRUE(platform::DirectoryExists(elsewhere_ + "\\update"));
}

}  // namespace
}  // namespace quillax
