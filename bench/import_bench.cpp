// Benchmark of the import of a Bible text of another language (envoke -import): the whole Bible,
// 31,102 verses, converted into a module, listed in bible.ini and indexed. Target: under 200 ms
// for the whole import with its index.
//
// The verse list is the exported King James Version when QUILLAX_BENCH_IMPORT_FILE names one
// (tools/kjv/export_kjv.py writes it), otherwise a synthetic English text of the same shape
// (the verse counts of tools/synth, about 140 bytes a verse, 4.4 MB). Everything happens in a
// temporary installation that is removed at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "setup/bible_import.h"
#include "setup/setup_session.h"
#include "tools/synth/bible_shape.h"

namespace {

namespace platform = quillax::platform;

struct Bench {
    std::string root;    // temporary directory of this run
    std::string config;  // its configuration directory, ending in a separator
    std::string input;   // the verse list
    int verses = 0;
};

Bench* g_bench = nullptr;

using platform::RemoveTree;

// A synthetic English verse list with the verse counts of the whole Bible.
std::string SyntheticVerseList(int& verses) {
    static const char* const kWords[] = {
        "and", "the", "of", "LORD", "unto", "he", "that", "shall", "in", "him", "his", "them",
        "they", "be", "is", "for", "not", "with", "all", "thou", "thy", "was", "which", "my",
        "said", "have", "from", "people", "house", "children", "land", "hand", "upon", "king",
        "God", "earth", "day", "heaven", "father", "son", "Israel", "came", "went", "word",
    };
    constexpr std::uint32_t kWordCount = sizeof kWords / sizeof kWords[0];
    std::uint32_t random = 12345;
    std::string list;
    list.reserve(5u << 20);
    verses = 0;
    for (int book = 1; book <= 66; ++book) {
        for (int chapter = 1; quillax::synth::VerseCount(book, chapter) > 0; ++chapter) {
            for (int verse = 1; verse <= quillax::synth::VerseCount(book, chapter); ++verse) {
                list += "bk\t" + std::to_string(book) + "\t" + std::to_string(chapter) + "\t" + std::to_string(verse) + "\t";
                random = random * 1103515245u + 12345u;
                const int words = 18 + static_cast<int>((random >> 16) % 14);
                for (int w = 0; w < words; ++w) {
                    random = random * 1103515245u + 12345u;
                    list += kWords[(random >> 16) % kWordCount];
                    list += w + 1 < words ? " " : ".";
                }
                list += "\n";
                ++verses;
            }
        }
    }
    return list;
}

bool SetUp(Bench& bench) {
    std::string base = platform::TemporaryDirectory();
    bench.root = base + "quillax-import-bench-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    bench.config = bench.root + "/cfg/";
    if (!platform::MakeDirectories(bench.config + "usr") ||
        !platform::WriteWholeFile(bench.config + "bible.ini", "[bible]\r\nEQUATEFILE=usr\\niv\r\n")) {
        return false;
    }
    if (const char* file = std::getenv("QUILLAX_BENCH_IMPORT_FILE")) {
        bench.input = platform::ReadWholeFile(file).value_or("");
        bench.verses = 0;
        quillax::ConvertVerseList(bench.input, bench.verses);
    } else {
        bench.input = SyntheticVerseList(bench.verses);
    }
    return bench.verses > 0 && platform::WriteWholeFile(bench.config + "bible.txt", bench.input) &&
           platform::ChangeDirectory(bench.config);
}

// The whole import as `envoke -import bible.txt` runs it: read, convert, write the module,
// update bible.ini (the first time), build the index.
void BM_ImportBible(benchmark::State& state) {
    quillax::SetupSession session;
    session.configDirectory = g_bench->config;
    for (auto _ : state) {
        quillax::ImportBible(session, "bible.txt");
        benchmark::DoNotOptimize(session.messageText);
    }
    if (session.messageText != quillax::kImportDoneMessage) {
        state.SkipWithError("the import failed");
    }
    state.counters["verses"] = g_bench->verses;
    state.counters["verses/s"] =
        benchmark::Counter(static_cast<double>(g_bench->verses), benchmark::Counter::kIsIterationInvariantRate);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(g_bench->input.size()));
}
BENCHMARK(BM_ImportBible)->Unit(benchmark::kMillisecond);

// The conversion alone, in memory.
void BM_ConvertVerseList(benchmark::State& state) {
    int verses = 0;
    for (auto _ : state) {
        std::string module = quillax::ConvertVerseList(g_bench->input, verses);
        benchmark::DoNotOptimize(module);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(g_bench->input.size()));
}
BENCHMARK(BM_ConvertVerseList)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const std::string start = platform::CurrentDirectory();
    Bench bench;
    if (!SetUp(bench)) {
        std::fprintf(stderr, "import_bench: could not prepare the installation in %s\n", bench.root.c_str());
        RemoveTree(bench.root);
        return 1;
    }
    g_bench = &bench;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::ChangeDirectory(start);
    RemoveTree(bench.root);
    return 0;
}
