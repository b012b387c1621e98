// Benchmarks of the text store on a full-size synthetic installation:
//  - BuildModuleIndex of every module of the installation run, one by one and all together
//    (PrepareModules: target under 50 ms for all of them);
//  - DeriveMainText (the main text made from the chain-reference module);
//  - ReadModuleEntry of every chapter record of the chain-reference module (target: median
//    under 50 microseconds per record), with the engine's file cache and without it;
//  - the generator itself.
//
// The installation is generated once into a temporary directory, which is removed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "bench/backdate.h"
#include "platform/files.h"
#include "setup/main_text.h"
#include "setup/module_index.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"
#include "textlib/module_reader.h"
#include "tools/synth/installation.h"

namespace {

using quillax::GbList;
using quillax::GbString;
namespace platform = quillax::platform;
namespace synth = quillax::synth;

struct Bench {
    std::string root;           // temporary directory of this run
    std::string cfg;            // configuration directory of the full installation
    std::string bareCfg;        // the same installation without sys/corpa.txt
    synth::Installation installation;
    std::vector<std::string> chapterKeys;
};

Bench* g_bench = nullptr;

using platform::RemoveTree;

using quillax::bench::Backdate;

bool SetUp(Bench& bench) {
    std::string base = platform::TemporaryDirectory();
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
    bench.root = base + "quillax-bench-" + std::to_string(
        std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    synth::Options options;
    options.seed = 1;
    options.configSource = QUILLAX_BENCH_SAMPLE_CONFIG_DIR;
    bench.installation = synth::Generate(options);
    std::string error;
    if (!synth::Write(bench.installation, bench.root + "/full", &error)) {
        std::fprintf(stderr, "cannot write the installation: %s\n", error.c_str());
        return false;
    }
    options.mainText = false;
    if (!synth::Write(synth::Generate(options), bench.root + "/bare", &error)) {
        std::fprintf(stderr, "cannot write the installation: %s\n", error.c_str());
        return false;
    }
    bench.cfg = synth::ConfigDirectory(bench.root + "/full");
    bench.bareCfg = synth::ConfigDirectory(bench.root + "/bare");
    quillax::PrepareModules(bench.cfg);
    Backdate(bench.root);
    for (const synth::Record& record : bench.installation.FindModule("sys\\Tessaly")->records) {
        if (record.key.size() == 5) bench.chapterKeys.push_back(record.key);
    }
    return true;
}

void BM_BuildModuleIndex(benchmark::State& state, quillax::ModuleTableRow row) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillax::BuildModuleIndex(g_bench->cfg, row.name, row.lineFlag, row.marker));
    }
    const auto size = platform::FileSize(g_bench->cfg + std::string(row.name) + ".txt");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(size.value_or(0)));
}

// Every index of the installation run (the main text exists, so nothing is derived).
void BM_PrepareModules(benchmark::State& state) {
    for (auto _ : state) quillax::PrepareModules(g_bench->cfg);
}

void BM_DeriveMainText(benchmark::State& state) {
    for (auto _ : state) quillax::DeriveMainText(g_bench->bareCfg);
}

// Reads every chapter record of the chain-reference module per iteration, timing each read;
// the counters give the distribution per record in microseconds.
void ReadEveryChapter(benchmark::State& state, bool cached) {
    Backdate(g_bench->root);  // the index benchmarks may have rewritten the indexes just now
    const GbString configText = quillax::ReadConfigFile(g_bench->cfg + "bible.ini");
    const GbString installDir(g_bench->cfg);
    const GbString systemTextDir = quillax::ReadConfigValue(configText, "TXTSYSPTH=");
    const GbString systemModules = quillax::ReadConfigValue(configText, "SYSKEY=");
    const GbList vocabulary = quillax::ReadConfigList(configText, "CMPSTR=");
    quillax::ModuleFileCache files;
    const quillax::ModuleReaderContext context{installDir, systemTextDir, systemModules, false,
                                               vocabulary, nullptr, cached ? &files : nullptr};
    std::vector<double> micros;
    micros.reserve(g_bench->chapterKeys.size());
    std::size_t bytes = 0;
    for (auto _ : state) {
        micros.clear();
        for (const std::string& key : g_bench->chapterKeys) {
            const auto start = std::chrono::steady_clock::now();
            const GbString text = quillax::ReadModuleEntryWith(context, "tessaly", key, false);
            const auto end = std::chrono::steady_clock::now();
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            bytes += text.size();
            benchmark::DoNotOptimize(text.data());
        }
    }
    std::sort(micros.begin(), micros.end());
    auto at = [&micros](double fraction) {
        return micros[static_cast<std::size_t>(fraction * static_cast<double>(micros.size() - 1))];
    };
    state.counters["records"] = static_cast<double>(micros.size());
    state.counters["median_us"] = at(0.5);
    state.counters["p90_us"] = at(0.9);
    state.counters["max_us"] = micros.back();
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_ReadEveryChapterCached(benchmark::State& state) { ReadEveryChapter(state, true); }
void BM_ReadEveryChapterUncached(benchmark::State& state) { ReadEveryChapter(state, false); }

void BM_GenerateInstallation(benchmark::State& state) {
    synth::Options options;
    options.configSource = QUILLAX_BENCH_SAMPLE_CONFIG_DIR;
    for (auto _ : state) {
        const synth::Installation installation = synth::Generate(options);
        benchmark::DoNotOptimize(installation.modules.data());
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Bench bench;
    g_bench = &bench;
    const bool ready = SetUp(bench);
    if (ready) {
        for (const quillax::ModuleTableRow& row : quillax::ModuleTable) {
            benchmark::RegisterBenchmark(("BM_BuildModuleIndex/" + std::string(row.name)).c_str(),
                                         BM_BuildModuleIndex, row)
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RegisterBenchmark("BM_PrepareModules", BM_PrepareModules)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_DeriveMainText", BM_DeriveMainText)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_ReadEveryChapterCached", BM_ReadEveryChapterCached)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_ReadEveryChapterUncached", BM_ReadEveryChapterUncached)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("BM_GenerateInstallation", BM_GenerateInstallation)
            ->Unit(benchmark::kMillisecond);
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    RemoveTree(bench.root);
    return ready ? 0 : 1;
}
