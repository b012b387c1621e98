// quillax-synth: writes a full-size synthetic installation for benchmarks and stress tests.
//
//   quillax-synth OUTDIR [--seed N] [--config DIR] [--no-main-text] [--traditional N]
//                 [--books LIST] [--chapters N] [--days N] [--modules-only]
//
// OUTDIR/cfg receives bible.ini (copied from DIR, by default the repository's sample
// configuration) and the text modules below sys/ and usr/. The same seed gives the same bytes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/synth/installation.h"

#ifndef QUILLAX_SAMPLE_CONFIG_DIR
#define QUILLAX_SAMPLE_CONFIG_DIR ""
#endif

namespace {

void Usage() {
    std::fputs(
        "usage: quillax-synth OUTDIR [--seed N] [--config DIR] [--no-main-text] [--traditional N]\n"
        "                     [--books LIST] [--chapters N] [--days N] [--modules-only]\n"
        "  writes a full-size synthetic installation into OUTDIR/cfg\n"
        "  --seed N         seed of the generated texts (default 1)\n"
        "  --config DIR     folder with the bible.ini to copy (default: the sample configuration)\n"
        "  --no-main-text   leave out sys/corpa.txt (the set-up tool derives it)\n"
        "  --traditional N  nouns per 1000 written in traditional characters outside GB2312\n"
        "                   (default 4; 0 keeps the text within GB2312)\n"
        "  --books LIST     only these books, numbers 1-66 separated by \",\" (default: all)\n"
        "  --chapters N     at most N chapters of each book (default: all)\n"
        "  --days N         plan-day modules for the first N plan days only (default: all 478)\n"
        "  --modules-only   write the text modules only, not bible.ini, bible.css, quillets.js;\n"
        "                   the parallel translations take the names of the configuration's\n"
        "                   EQUATEFILE (for an installation whose configuration already exists)\n",
        stderr);
}

bool ParseNumber(const char* text, unsigned long long& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    value = std::strtoull(text, &end, 10);
    return end != nullptr && *end == '\0';
}

// "1,19,40,66": book numbers 1-66, each at most once.
bool ParseBooks(const char* text, std::vector<int>& books) {
    books.clear();
    std::string item;
    const std::string all = std::string(text == nullptr ? "" : text) + ",";
    for (char c : all) {
        if (c != ',') {
            item += c;
            continue;
        }
        unsigned long long book = 0;
        if (!ParseNumber(item.c_str(), book) || book < 1 || book > 66) return false;
        for (int kept : books) {
            if (kept == static_cast<int>(book)) return false;
        }
        books.push_back(static_cast<int>(book));
        item.clear();
    }
    return !books.empty();
}

int Run(int argc, char** argv) {
    quillax::synth::Options options;
    options.configSource = QUILLAX_SAMPLE_CONFIG_DIR;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        unsigned long long number = 0;
        if (arg == "--seed" && i + 1 < argc && ParseNumber(argv[i + 1], number)) {
            options.seed = number;
            ++i;
        } else if (arg == "--config" && i + 1 < argc) {
            options.configSource = argv[++i];
        } else if (arg == "--no-main-text") {
            options.mainText = false;
        } else if (arg == "--traditional" && i + 1 < argc && ParseNumber(argv[i + 1], number) &&
                   number <= 1000) {
            options.traditionalPerMille = static_cast<int>(number);
            ++i;
        } else if (arg == "--books" && i + 1 < argc && ParseBooks(argv[i + 1], options.books)) {
            ++i;
        } else if (arg == "--chapters" && i + 1 < argc && ParseNumber(argv[i + 1], number) &&
                   number >= 1 && number <= 150) {
            options.chaptersPerBook = static_cast<int>(number);
            ++i;
        } else if (arg == "--days" && i + 1 < argc && ParseNumber(argv[i + 1], number) &&
                   number >= 1 && number <= 478) {
            options.planDays = static_cast<int>(number);
            ++i;
        } else if (arg == "--modules-only") {
            options.modulesOnly = true;
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && outDir.empty()) {
            outDir = arg;
        } else {
            Usage();
            return 2;
        }
    }
    if (outDir.empty()) {
        Usage();
        return 2;
    }
    if (!options.configSource.empty() &&
        !quillax::platform::FileExists(options.configSource + "/bible.ini")) {
        std::fprintf(stderr, "quillax-synth: no bible.ini in %s; writing a minimal one\n",
                     options.configSource.c_str());
    }

    const auto start = std::chrono::steady_clock::now();
    const quillax::synth::Installation installation = quillax::synth::Generate(options);
    const auto generated = std::chrono::steady_clock::now();
    std::string error;
    if (!quillax::synth::Write(installation, outDir, &error)) {
        std::fprintf(stderr, "quillax-synth: %s\n", error.c_str());
        return 1;
    }
    const auto written = std::chrono::steady_clock::now();
    using Ms = std::chrono::duration<double, std::milli>;

    const std::string cfg = quillax::synth::ConfigDirectory(outDir);
    if (!installation.bibleIni.empty()) {
        std::printf("%-28s %10zu bytes%s\n", (cfg + "bible.ini").c_str(),
                    installation.bibleIni.size(),
                    installation.bibleIniCopied ? "  (copied)" : "  (minimal)");
    }
    for (const auto& module : installation.modules) {
        std::printf("%-28s %10zu bytes %6zu records\n", (cfg + module.fileName).c_str(),
                    module.text.size(), module.records.size());
    }
    std::printf("seed %llu: %zu bytes generated in %.0f ms, written in %.0f ms\n",
                static_cast<unsigned long long>(options.seed), installation.TotalBytes(),
                Ms(generated - start).count(), Ms(written - generated).count());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillax-synth: %s\n", e.what());
    } catch (...) {
        std::fputs("quillax-synth: unexpected failure\n", stderr);
    }
    return 1;
}
