// Benchmarks of the updater's two heavy steps, each against the common command-line tool on the
// same input in the same run:
//  - BM_Download: a 50 MB update file fetched over loopback by Updater::DownloadAndInstall (the
//    HTTP client, the ".upg" file, the progress bar and message pump after every read, the
//    rename and the removal of the plain file), and by `curl -o` from the same server. Target:
//    at least 0.8 of curl's throughput. The counter `ratio` is ours / curl's throughput; curl's
//    time is the transfer time it reports itself (-w %{time_total}), so its process start-up
//    is not held against it.
//  - BM_Extract: an archive of 1,000 files, 50 MB compressed (half of each file random, half
//    text), unpacked by ExtractArchive and by `unzip -o`. Target: within 1.2 times unzip's time.
//    The counter `ratio` is our time / unzip's time (process start-up included for unzip).
//
// Each iteration runs both sides, alternating which goes first; the benchmark's time is ours.
// The tools must be installed (curl, zip, unzip); a benchmark whose tool is missing is skipped.
// Everything happens in a temporary directory that is removed at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/http.h"
#include "support/loopback_server.h"
#include "updater/archive.h"
#include "updater/front.h"
#include "updater/updater.h"

namespace {

namespace platform = quillax::platform;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kDownloadBytes = 50u * 1024 * 1024;
constexpr int kArchiveFiles = 1000;
constexpr std::size_t kArchiveFileBytes = 100u * 1024;  // half random: about 50 MB compressed

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

bool HaveTool(const char* name) {
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A shell command's standard output.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        pclose(pipe);
    }
    return out;
}

// The temporary directory of this run, removed at the end.
class WorkDir {
public:
    WorkDir() {
        char pattern[] = "/tmp/updater-bench-XXXXXX";
        if (const char* made = mkdtemp(pattern)) {
            dir_ = std::string(made) + "/";
        }
    }
    ~WorkDir() {
        if (!dir_.empty()) {
            platform::RemoveTree(dir_.substr(0, dir_.size() - 1));
        }
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

std::string RandomBytes(std::mt19937_64& random, std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t value = random();
        for (std::size_t b = 0; b < 8 && i + b < size; ++b) {
            out[i + b] = static_cast<char>((value >> (8 * b)) & 0xFF);
        }
    }
    return out;
}

void BM_Download(benchmark::State& state) {
    if (!HaveTool("curl")) {
        state.SkipWithError("curl is not installed");
        return;
    }
    WorkDir work;
    quillax::testing::LoopbackServer server;
    if (work.dir().empty() || !server.ok() || !platform::MakeDirectories(work.dir() + "update")) {
        state.SkipWithError("no work directory or loopback server");
        return;
    }
    std::mt19937_64 random(7);
    server.ServeBody("/big.dat", RandomBytes(random, kDownloadBytes));
    const std::string url = server.Url("/big.dat");

    quillax::RecordingFront front;
    platform::HttpConnection connection("cvupdate", "127.0.0.1", server.Port());
    quillax::UpdaterSetup setup;
    setup.installDir = quillax::GbString(work.dir());
    setup.ownDir = quillax::GbString(work.dir());
    setup.manifestCopy = quillax::GbString(work.dir() + "cvupdate.ini");
    quillax::Updater updater(front, connection, setup);
    const std::string curlCommand = "curl -s -0 -o " + work.dir() + "curl.dat -w '%{time_total}' " + url;

    double ours = 0;
    double theirs = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        double oursNow = 0;
        double theirsNow = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == oursFirst) {
                front.progressHistory.clear();
                const auto start = Clock::now();
                const bool done = updater.DownloadAndInstall("/big.dat", work.dir());
                oursNow = Seconds(start);
                if (!done || front.progress != 100) {
                    state.SkipWithError("the download failed");
                    return;
                }
            } else {
                theirsNow = std::atof(Output(curlCommand).c_str());
                if (theirsNow <= 0) {
                    state.SkipWithError("curl failed");
                    return;
                }
            }
        }
        oursFirst = !oursFirst;
        ours += oursNow;
        theirs += theirsNow;
        state.SetIterationTime(oursNow);
    }
    const double megabytes = static_cast<double>(kDownloadBytes) / (1024.0 * 1024.0);
    const double iterations = static_cast<double>(state.iterations());
    state.counters["ours_MBps"] = megabytes * iterations / ours;
    state.counters["curl_MBps"] = megabytes * iterations / theirs;
    state.counters["ratio"] = theirs / ours;  // throughput ratio: ours / curl's
    state.counters["reads"] = static_cast<double>(front.progressHistory.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(kDownloadBytes) * state.iterations());
}
BENCHMARK(BM_Download)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Extract(benchmark::State& state) {
    if (!HaveTool("zip") || !HaveTool("unzip")) {
        state.SkipWithError("zip or unzip is not installed");
        return;
    }
    WorkDir work;
    if (work.dir().empty()) {
        state.SkipWithError("no work directory");
        return;
    }
    const std::string source = work.dir() + "source/";
    platform::MakeDirectories(source);
    std::mt19937_64 random(11);
    std::string text;
    while (text.size() < kArchiveFileBytes / 2) {
        text += "In the beginning was the Word, and the Word was with God. ";
    }
    text.resize(kArchiveFileBytes / 2);
    for (int i = 0; i < kArchiveFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file%04d.dat", i);
        const std::string bytes = RandomBytes(random, kArchiveFileBytes / 2) + text;
        if (!platform::WriteWholeFile(source + name, bytes)) {
            state.SkipWithError("cannot write the archive's files");
            return;
        }
    }
    const std::string archive = work.dir() + "update.zip";
    if (std::system(("cd " + source + " && zip -q -r " + archive + " .").c_str()) != 0) {
        state.SkipWithError("zip failed");
        return;
    }
    const std::string ourDir = work.dir() + "ours/";
    const std::string theirDir = work.dir() + "theirs/";
    platform::MakeDirectories(ourDir);
    platform::MakeDirectories(theirDir);
    const std::string unzipCommand = "unzip -o -q " + archive + " -d " + theirDir;

    double ours = 0;
    double theirs = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        double oursNow = 0;
        double theirsNow = 0;
        for (int side = 0; side < 2; ++side) {
            const auto start = Clock::now();
            if ((side == 0) == oursFirst) {
                const quillax::ExtractSummary summary = quillax::ExtractArchive(archive, ourDir);
                oursNow = Seconds(start);
                if (summary.files != kArchiveFiles || summary.failed != 0) {
                    state.SkipWithError("ExtractArchive did not unpack every file");
                    return;
                }
            } else {
                if (std::system(unzipCommand.c_str()) != 0) {
                    state.SkipWithError("unzip failed");
                    return;
                }
                theirsNow = Seconds(start);
            }
        }
        oursFirst = !oursFirst;
        ours += oursNow;
        theirs += theirsNow;
        state.SetIterationTime(oursNow);
    }
    const auto archiveSize = platform::FileSize(archive);
    state.counters["archive_MB"] = static_cast<double>(archiveSize.value_or(0)) / (1024.0 * 1024.0);
    state.counters["unzip_ms"] = 1000.0 * theirs / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / theirs;  // time ratio: ours / unzip's
}
BENCHMARK(BM_Extract)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
