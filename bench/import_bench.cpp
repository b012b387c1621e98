// Benchmark of the import of a Bible text of another language (envoke -import): the whole Bible,
// 31,102 verses, converted into a module, listed in bible.ini and indexed. Target: under 200 ms
// for the whole import with its index.
//
// The verse list is the exported King James Version when QUILLAX_BENCH_IMPORT_FILE names one
// (tools/kjv/export_kjv.py writes it), otherwise a synthetic English text of the same shape
// (the verse counts of tools/synth, about 140 bytes a verse, 4.4 MB). Everything happens in a
// temporary installation that is removed at the end.
//
// Beside it, on the same verse list in the same run: SWORD's importer `imp2vs` (Debian's
// libsword-utils) writing an uncompressed module from the same verses in its import format.
// The benchmark is skipped when the program is not installed.
//
// The published formats: the whole World English Bible in USFM as Debian's bibledit-data ships
// it (83 files, 5.8 MB; target: under 200 ms), and an OSIS file, the King James Version that
// SWORD's mod2osis exports (QUILLAX_BENCH_OSIS_FILE, 18 MB; bench/run-all.sh writes it), side
// by side with SWORD's own OSIS importer osis2mod on the same file (target: at least 5 times
// as fast). Each is skipped when its input or program is missing.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/environment.h"
#include "platform/files.h"
#include "setup/bible_formats/book_codes.h"
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

// The verse list (abbreviation TAB book TAB chapter TAB verse TAB text, one line a verse) in
// imp2vs's import format. Lines that do not have that shape are left out.
std::string ImpText(std::string_view list) {
    std::string imp;
    imp.reserve(list.size() + list.size() / 8);
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        std::string_view line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string_view fields[5];
        std::size_t from = 0;
        int count = 0;
        for (; count < 4; ++count) {
            const std::size_t tab = line.find('\t', from);
            if (tab == std::string_view::npos) {
                break;
            }
            fields[count] = line.substr(from, tab - from);
            from = tab + 1;
        }
        if (count < 4) {
            continue;
        }
        fields[4] = line.substr(from);
        const int book = std::atoi(std::string(fields[1]).c_str());
        if (book < 1 || book > 66) {
            continue;
        }
        imp += "$$$";
        imp += quillax::OsisNameOfBook(book);
        imp += ' ';
        imp += fields[2];
        imp += ':';
        imp += fields[3];
        imp += '\n';
        imp += fields[4];
        imp += '\n';
    }
    return imp;
}

// A path quoted for the shell (the temporary paths here hold no quote).
std::string Quoted(const std::string& path) { return "'" + path + "'"; }

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
BENCHMARK(BM_ImportBible)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// Runs a command of SWORD's importers once per iteration, its output silenced, into the folder
// output, made empty before each run (untimed).
void RunIntoFreshFolder(benchmark::State& state, const std::string& output, const std::string& command,
                        const char* failure) {
    const std::string silenced = command + " >/dev/null 2>&1";
    int failures = 0;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveTree(output);
        platform::MakeDirectories(output);
        state.ResumeTiming();
        failures += std::system(silenced.c_str()) != 0;
    }
    if (failures > 0) {
        state.SkipWithError(failure);
    }
}

// SWORD's imp2vs on the same verses: a new uncompressed module in a fresh folder each time.
void BM_Imp2vsSameText(benchmark::State& state) {
    if (std::system("command -v imp2vs >/dev/null 2>&1") != 0) {
        state.SkipWithError("imp2vs is not installed (Debian package libsword-utils)");
        return;
    }
    const std::string impFile = g_bench->root + "/bible.imp";
    if (!platform::WriteWholeFile(impFile, ImpText(g_bench->input))) {
        state.SkipWithError("could not write the imp2vs input");
        return;
    }
    const std::string output = g_bench->root + "/sword-module/";
    RunIntoFreshFolder(state, output, "imp2vs " + Quoted(impFile) + " -o " + Quoted(output), "imp2vs failed");
    state.counters["verses"] = g_bench->verses;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(g_bench->input.size()));
}
BENCHMARK(BM_Imp2vsSameText)->Unit(benchmark::kMillisecond)->UseRealTime();

// The import of a published Bible at path (a USFM folder or an OSIS file) as envoke -import
// runs it: read and convert, write the module, list it in bible.ini, build its index.
void ImportPublished(benchmark::State& state, const std::string& path, int expectedVerses) {
    quillax::SetupSession session;
    session.configDirectory = g_bench->config;
    for (auto _ : state) {
        quillax::ImportBible(session, path);
        benchmark::DoNotOptimize(session.messageText);
    }
    const std::string done = quillax::kImportDoneMessage;
    if (session.messageText.view().substr(0, done.size()) != done) {
        state.SkipWithError(("the import failed: " + session.messageText.str()).c_str());
        return;
    }
    state.counters["verses"] = expectedVerses;
}

constexpr const char* kBibleditWeb = "/usr/share/bibledit/demo";

void BM_ImportUsfmFolder(benchmark::State& state) {
    if (!platform::DirectoryExists(kBibleditWeb)) {
        state.SkipWithError("the WEB USFM folder is missing (Debian package bibledit-data)");
        return;
    }
    ImportPublished(state, kBibleditWeb, 31103);
}
BENCHMARK(BM_ImportUsfmFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

// The OSIS file of the run, or empty.
std::string OsisFile() {
    const char* file = std::getenv("QUILLAX_BENCH_OSIS_FILE");
    return file != nullptr && platform::FileExists(file) ? std::string(file) : std::string();
}

void BM_ImportOsis(benchmark::State& state) {
    const std::string file = OsisFile();
    if (file.empty()) {
        state.SkipWithError("no OSIS file (QUILLAX_BENCH_OSIS_FILE; bench/run-all.sh exports one with mod2osis)");
        return;
    }
    ImportPublished(state, file, 31102);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(platform::FileSize(file).value_or(0)));
}
BENCHMARK(BM_ImportOsis)->Unit(benchmark::kMillisecond)->UseRealTime();

// SWORD's osis2mod on the same file: a new uncompressed module in a fresh folder each time.
void BM_Osis2modSameFile(benchmark::State& state) {
    const std::string file = OsisFile();
    if (file.empty() || std::system("command -v osis2mod >/dev/null 2>&1") != 0) {
        state.SkipWithError("no OSIS file, or osis2mod is not installed (Debian package libsword-utils)");
        return;
    }
    const std::string output = g_bench->root + "/osis2mod-module/";
    RunIntoFreshFolder(state, output, "osis2mod " + Quoted(output) + " " + Quoted(file), "osis2mod failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(platform::FileSize(file).value_or(0)));
}
BENCHMARK(BM_Osis2modSameFile)->Unit(benchmark::kMillisecond)->UseRealTime();

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
