// Crash safety of the whole-file rewrites: crash_rewriter rewrites one kind of file in a loop
// through the program's own code and is killed with SIGKILL at a random moment, many times;
// after every kill the file must be exactly its old or its new version, never a mix, a
// truncation or missing.
//
// The versions are learnt first: "prepare" writes the starting files (version A), one "step"
// gives version B, and a second step must give A or B again. The plain mode, which rewrites
// in place with fopen and fwrite, shows that the harness does see torn files.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"

#ifndef QUILLAX_CRASH_REWRITER
#error "QUILLAX_CRASH_REWRITER must name the crash_rewriter program"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// A directory of the test's own, removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = ::testing::TempDir() + "quillax-crash-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDir() {
        if (!path_.empty()) quillax::platform::RemoveTree(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Runs the rewriter to its end; true when it succeeded.
bool RunRewriter(const std::string& mode, const std::string& dir, const char* action) {
    const pid_t child = fork();
    if (child == 0) {
        execl(QUILLAX_CRASH_REWRITER, QUILLAX_CRASH_REWRITER, mode.c_str(), dir.c_str(), action,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Starts the rewriter's loop, waits for its "ready", lets it run for `delay` and kills it.
// False when it could not be started or ended by itself.
bool KillDuringLoop(const std::string& mode, const std::string& dir, std::chrono::microseconds delay) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(QUILLAX_CRASH_REWRITER, QUILLAX_CRASH_REWRITER, mode.c_str(), dir.c_str(), "loop",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    char ready[6] = {};
    const bool started = child > 0 && read(pipeEnds[0], ready, sizeof ready) == 6 &&
                         std::string(ready, 5) == "ready";
    close(pipeEnds[0]);
    if (child <= 0) return false;
    if (started) std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    return started && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::optional<std::string> Read(const std::string& path) { return quillax::platform::ReadWholeFile(path); }

// A file and the contents it may have after a kill; nullopt among them: it may be missing.
struct Watched {
    std::string name;
    std::vector<std::optional<std::string>> allowed;
};

struct Outcome {
    int rounds = 0;
    int changes = 0;  // rounds after which the first file differed from the round before
    std::string failure;
};

// Kills the rewriter at delays spread over [0, 1.5 x one step's time] and checks the watched
// files after each kill: minRounds times, then more until `budget` is spent or maxRounds.
// One measured step can be much shorter than the steps of the loop (a slow disk flush on a busy
// machine), so while no kill has yet come after a finished rewrite the rounds go on past the
// budget and the span doubles each round.
Outcome KillRounds(const std::string& mode, const std::string& dir, const std::vector<Watched>& files,
                   std::chrono::microseconds stepTime, int minRounds, int maxRounds,
                   std::chrono::milliseconds budget, bool stopAtFirstFailure) {
    Outcome outcome;
    const auto deadline = Clock::now() + budget;
    std::mt19937 random(std::random_device{}());
    const long long firstSpan = std::max<long long>(1000, stepTime.count() * 3 / 2);
    long long span = firstSpan;
    std::optional<std::string> previous = Read(dir + "/" + files.front().name);
    for (int round = 0; round < maxRounds &&
                        (round < minRounds || Clock::now() < deadline || outcome.changes == 0);
         ++round) {
        if (round >= minRounds && outcome.changes == 0) span = std::min(span * 2, firstSpan * 64);
        const std::chrono::microseconds delay(std::uniform_int_distribution<long long>(0, span)(random));
        if (!KillDuringLoop(mode, dir, delay)) {
            outcome.failure = "the rewriter did not run until it was killed";
            return outcome;
        }
        ++outcome.rounds;
        for (const Watched& file : files) {
            const std::optional<std::string> now = Read(dir + "/" + file.name);
            bool ok = false;
            for (const auto& allowed : file.allowed) ok = ok || allowed == now;
            if (!ok && outcome.failure.empty()) {
                outcome.failure = file.name + " is neither version after kill " + std::to_string(round + 1) +
                                  " (" + (now ? std::to_string(now->size()) + " bytes" : "missing") + ")";
            }
        }
        const std::optional<std::string> first = Read(dir + "/" + files.front().name);
        if (first != previous) ++outcome.changes;
        previous = first;
        if (stopAtFirstFailure && !outcome.failure.empty()) return outcome;
    }
    return outcome;
}

// Learns versions A and B of the files of a mode and how long one step takes.
struct Versions {
    std::vector<Watched> files;
    std::chrono::microseconds stepTime{0};
};

Versions Learn(const std::string& mode, const std::string& dir, const std::vector<std::string>& names) {
    Versions versions;
    EXPECT_TRUE(RunRewriter(mode, dir, "prepare")) << mode;
    for (const std::string& name : names) versions.files.push_back({name, {Read(dir + "/" + name)}});
    const auto start = Clock::now();
    EXPECT_TRUE(RunRewriter(mode, dir, "step")) << mode;
    versions.stepTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    for (Watched& file : versions.files) file.allowed.push_back(Read(dir + "/" + file.name));
    // The first file is the one the mode rewrites: it must exist and change.
    EXPECT_TRUE(versions.files.front().allowed[0].has_value()) << mode;
    EXPECT_NE(versions.files.front().allowed[0], versions.files.front().allowed[1]) << mode;
    // A second step ends at one of the two versions again.
    EXPECT_TRUE(RunRewriter(mode, dir, "step")) << mode;
    const auto again = Read(dir + "/" + versions.files.front().name);
    EXPECT_TRUE(again == versions.files.front().allowed[0] || again == versions.files.front().allowed[1]) << mode;
    return versions;
}

// Kills per mode: at least kMinRounds, then more while the mode's time budget lasts.
constexpr int kMinRounds = 12;
constexpr int kMaxRounds = 30;
constexpr std::chrono::milliseconds kModeBudget{3000};

void ExpectCrashSafe(const std::string& mode, const std::vector<std::string>& names) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    const Versions versions = Learn(mode, dir.path(), names);
    if (::testing::Test::HasFailure()) return;
    const Outcome outcome = KillRounds(mode, dir.path(), versions.files, versions.stepTime, kMinRounds,
                                       kMaxRounds, kModeBudget, true);
    EXPECT_EQ(outcome.failure, "") << mode;
    EXPECT_GE(outcome.rounds, kMinRounds) << mode;
    // Kills spread over a whole step: some of them must have come after a rewrite finished.
    EXPECT_GT(outcome.changes, 0) << mode << ": no rewrite ever completed before a kill";
    std::printf("%s: %d kills, step %lld ms, %d with a new version\n", mode.c_str(), outcome.rounds,
                static_cast<long long>(versions.stepTime.count() / 1000), outcome.changes);
}

TEST(CrashSafetyTest, HarnessSeesTornFilesOfAnInPlaceRewrite) {
    ScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    const Versions versions = Learn("plain", dir.path(), {"data.txt"});
    ASSERT_FALSE(::testing::Test::HasFailure());
    const Outcome outcome = KillRounds("plain", dir.path(), versions.files, versions.stepTime, 40, 40,
                                       std::chrono::milliseconds(0), true);
    EXPECT_NE(outcome.failure, "") << "no torn file in " << outcome.rounds << " kills of an in-place rewrite";
}

TEST(CrashSafetyTest, ConfigurationWriteIsOldOrNew) { ExpectCrashSafe("config", {"bible.ini"}); }

TEST(CrashSafetyTest, UpdaterMergeIsOldOrNew) { ExpectCrashSafe("merge", {"bible.ini"}); }

TEST(CrashSafetyTest, IndexBuildIsOldOrNew) { ExpectCrashSafe("index", {"sys/tessaly.inx"}); }

TEST(CrashSafetyTest, ImportIsOldOrNew) {
    ExpectCrashSafe("import", {"bible.ini", "usr/verses.txt", "usr/verses.inx"});
}

TEST(CrashSafetyTest, ErrataRunIsOldOrNew) { ExpectCrashSafe("errata", {"sys/corpa.txt"}); }

}  // namespace
