// Benchmarks of the pages and the word search on a full-size synthetic installation:
//  - OpenPage of every chapter in the reading layout with the two parallel translations
//    (READMODEL 2; target: median under 300 microseconds per chapter), on the in-memory host;
//  - SearchWords of a common word over the main text (target under 10 ms), as configured
//    (MAXSEARCH of the sample) and without a hit limit (the whole file read);
//  - the whole quillax-cli process rendering a chapter and searching (target under 50 ms),
//    side by side with Debian's diatheke (SWORD) doing the same on the World English Bible
//    when it is installed (packages diatheke, sword-text-web).
//
// The installation is generated once into a temporary directory, which is removed at the end.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/host/host_window.h"
#include "engine/pages/pipeline.h"
#include "engine/state/render_state.h"
#include "engine/search/word_search.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "bench/backdate.h"
#include "bench/quiet_host.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/module_index.h"
#include "textlib/product_identity.h"
#include "tools/synth/bible_shape.h"
#include "tools/synth/installation.h"

extern char** environ;

namespace {

using quillax::GbString;
namespace platform = quillax::platform;
namespace synth = quillax::synth;

// The word searched: frequent in the synthetic main text, as in a real Bible.
constexpr char kWordUtf8[] = u8"神";
// The WEB module of Debian's sword-text-web and the word searched there.
constexpr char kSwordModule[] = "engWEB2015eb";

struct Bench {
    std::string root;     // temporary directory of this run
    std::string install;  // the installation (its cfg folder below)
    std::string cfg;      // configuration directory
    std::vector<std::string> chapterKeys;
    std::string cli;      // quillax-cli beside this program
    std::string diatheke; // empty when not installed
};

Bench* g_bench = nullptr;

using quillax::bench::Backdate;

std::string FindOnPath(const std::string& name) {
    const auto path = platform::GetEnvironmentValue("PATH");
    if (!path) return {};
    std::size_t start = 0;
    while (start <= path->size()) {
        std::size_t end = path->find(':', start);
        if (end == std::string::npos) end = path->size();
        const std::string candidate = path->substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

bool SetUp(Bench& bench) {
    std::string base = platform::TemporaryDirectory();
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
    bench.root = base + "quillax-page-bench-" + std::to_string(
        std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    synth::Options options;
    options.seed = 1;
    options.configSource = QUILLAX_BENCH_SAMPLE_CONFIG_DIR;
    std::string error;
    bench.install = bench.root + "/full";
    if (!synth::Write(synth::Generate(options), bench.install, &error)) {
        std::fprintf(stderr, "cannot write the installation: %s\n", error.c_str());
        return false;
    }
    bench.cfg = synth::ConfigDirectory(bench.install);
    quillax::PrepareModules(bench.cfg);
    Backdate(bench.root);
    for (int i = 0; i < synth::kTotalChapters; ++i) {
        const synth::ChapterRef ref = synth::ChapterAt(i);
        char key[8];
        std::snprintf(key, sizeof key, "%02d%03d", ref.book, ref.chapter);
        bench.chapterKeys.push_back(key);
    }
    bench.cli = platform::ProgramDirectory() + "/quillax-cli";
    std::replace(bench.cli.begin(), bench.cli.end(), '\\', '/');
    if (!platform::FileExists(bench.cli)) bench.cli.clear();
    bench.diatheke = FindOnPath("diatheke");
    return true;
}

// Loads the installation as the engine does when its library is loaded: the configuration
// directory comes from a registry store of the benchmark's own.
void LoadInstallation(quillax::RenderState& state) {
    const std::string store = g_bench->root + "/registry";
    platform::SetEnvironmentValue("QUILLAX_REGISTRY", store);
    platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, quillax::kInstallationKey, "",
                                  g_bench->cfg);
    quillax::LoadConfiguration(state);
    platform::SetEnvironmentValue("QUILLAX_REGISTRY", std::nullopt);
}

using quillax::bench::QuietHost;

struct Distribution {
    std::vector<double> micros;
    double At(double fraction) const {
        return micros[static_cast<std::size_t>(fraction * static_cast<double>(micros.size() - 1))];
    }
    void Report(benchmark::State& state, const char* unit) {
        std::sort(micros.begin(), micros.end());
        if (micros.empty()) return;
        state.counters[std::string("median_") + unit] = At(0.5);
        state.counters[std::string("p90_") + unit] = At(0.9);
        state.counters[std::string("max_") + unit] = micros.back();
    }
};

// OpenPage of every chapter, each timed; the counters give the distribution per chapter.
void BM_OpenEveryChapter(benchmark::State& state, int readModel) {
    Backdate(g_bench->root);
    quillax::RenderState engine;
    LoadInstallation(engine);
    engine.readModel = readModel;
    QuietHost host;
    engine.host.pageWindow = &host;
    Distribution times;
    std::size_t bytes = 0;
    for (auto _ : state) {
        times.micros.clear();
        for (const std::string& key : g_bench->chapterKeys) {
            const auto start = std::chrono::steady_clock::now();
            quillax::OpenPage(engine, key, 0, "");
            const auto end = std::chrono::steady_clock::now();
            times.micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            bytes += host.body.size() * 2;
        }
    }
    engine.host.pageWindow = nullptr;
    state.counters["chapters"] = static_cast<double>(g_bench->chapterKeys.size());
    state.counters["parallel"] = static_cast<double>(engine.parallelModules.Count());
    times.Report(state, "us");
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// A clock that moves two seconds on every reading, so that no search is taken for a repeat.
class SteppingClock : public quillax::SearchClock {
public:
    long long NowMs() const override { return now_ += 2000; }

private:
    mutable long long now_ = 1000000;
};

// SearchWords as the control calls it: the configuration written, the result page set.
void BM_SearchWords(benchmark::State& state, bool unbounded) {
    Backdate(g_bench->root);
    quillax::RenderState engine;
    LoadInstallation(engine);
    // The search re-reads the settings when it stores the word, so the limit goes into the
    // file (and back afterwards).
    const GbString configured = quillax::ReadConfigValue(engine, "MAXSEARCH=");
    if (unbounded) {
        GbString value("100000000");
        quillax::SetConfigValue(engine, "MAXSEARCH=", value);
    }
    QuietHost host;
    const SteppingClock clock;
    const std::u16string word = platform::Utf8ToUtf16(kWordUtf8);
    std::size_t pageSize = 0;
    for (auto _ : state) {
        quillax::SearchWords(engine, word, u"", 1, &host, clock);
        pageSize = host.body.size();
    }
    const int maxSearch = engine.maxSearch;
    if (unbounded) {
        GbString value = configured;
        quillax::SetConfigValue(engine, "MAXSEARCH=", value);
    }
    engine.host.pageWindow = nullptr;
    // The verses listed: one chapter link each.
    const std::string page = platform::Utf16ToUtf8(host.body);
    int hits = 0;
    for (std::size_t at = page.find("<a href="); at != std::string::npos; at = page.find("<a href=", at + 1)) {
        const char first = at + 8 < page.size() ? page[at + 8] : ' ';
        if (first >= '0' && first <= '9') ++hits;  // a verse link, not the back and forward links
    }
    state.counters["hits"] = hits;
    state.counters["maxsearch"] = maxSearch;
    state.counters["page_chars"] = static_cast<double>(pageSize);
    const auto size = platform::FileSize(g_bench->cfg + "sys/corpa.txt");
    state.counters["corpa_bytes"] = static_cast<double>(size.value_or(0));
}

// The scan alone (SearchMainText): no configuration written, no page set.
void BM_SearchMainText(benchmark::State& state) {
    quillax::RenderState engine;
    LoadInstallation(engine);
    const std::string path = g_bench->cfg + "sys/corpa.txt";
    const GbString word(platform::Utf8ToGbk(kWordUtf8));
    std::size_t size = 0;
    for (auto _ : state) {
        int summaryEnd = 0;
        const GbString page = quillax::SearchMainText(engine, path, word, GbString(" "), true, summaryEnd);
        size = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["maxsearch"] = engine.maxSearch;
    state.counters["page_bytes"] = static_cast<double>(size);
}

// ---- whole processes ---------------------------------------------------------------------------

// Runs a program with its output thrown away; false when it could not start or failed.
bool RunQuietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Times one program run per iteration (wall clock); median and p90 in milliseconds.
void TimeProcess(benchmark::State& state, const std::vector<std::string>& args) {
    if (args.empty() || args[0].empty()) {
        state.SkipWithError("program not found");
        return;
    }
    if (!RunQuietly(args)) {  // a first run also fills the page cache
        state.SkipWithError(("the program failed: " + args[0]).c_str());
        return;
    }
    Distribution times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RunQuietly(args);
        const auto end = std::chrono::steady_clock::now();
        if (!ok) {
            state.SkipWithError("the program failed");
            break;
        }
        const double ms = std::chrono::duration<double, std::milli>(end - start).count();
        times.micros.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    times.Report(state, "ms");
}

void BM_CliChapterProcess(benchmark::State& state) {
    TimeProcess(state, {g_bench->cli, "page", g_bench->install, "01001", "--layout", "2"});
}

void BM_CliSearchProcess(benchmark::State& state) {
    TimeProcess(state, {g_bench->cli, "page", g_bench->install, "search", kWordUtf8});
}

void BM_DiathekeChapterProcess(benchmark::State& state) {
    TimeProcess(state, {g_bench->diatheke, "-b", kSwordModule, "-k", "Gen 1"});
}

void BM_DiathekeSearchProcess(benchmark::State& state) {
    TimeProcess(state, {g_bench->diatheke, "-b", kSwordModule, "-s", "multiword", "-k", "God"});
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Bench bench;
    g_bench = &bench;
    const bool ready = SetUp(bench);
    if (ready) {
        benchmark::RegisterBenchmark("BM_OpenEveryChapter/layout2", BM_OpenEveryChapter, 2)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_OpenEveryChapter/layout0", BM_OpenEveryChapter, 0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_SearchWords/maxsearch", BM_SearchWords, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_SearchWords/unbounded", BM_SearchWords, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_SearchMainText", BM_SearchMainText)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_CliChapterProcess", BM_CliChapterProcess)
            ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
        benchmark::RegisterBenchmark("BM_CliSearchProcess", BM_CliSearchProcess)
            ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
        benchmark::RegisterBenchmark("BM_DiathekeChapterProcess", BM_DiathekeChapterProcess)
            ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);
        benchmark::RegisterBenchmark("BM_DiathekeSearchProcess", BM_DiathekeSearchProcess)
            ->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    platform::RemoveTree(bench.root);
    return ready ? 0 : 1;
}
