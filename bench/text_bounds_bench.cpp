// Passes over records of megabytes, before and after, in one run (median of --repetitions runs,
// default 3):
//  - main text derivation: CleanRecord of a chapter record whose line is 10 MB of "<a>" (target
//    under 1 s);
//  - the bracket-reference pass over a 10 MB record of "[创1:1]" (target under 1 s);
//  - a chapter page (OpenPage, reading layout) whose configuration lists 100,000 parallel
//    modules, of which only the installation's two exist (target under 100 ms).
// "Before" is the former way: the former in-place passes, kept below as reference copies only to
// be measured, and for the page the former loop over the listed modules (each looked up through
// the file layer, the page's replacements repeated for each), which is only a part of the former
// page. Each "before" runs in a child process that is stopped after kCapSeconds; a stopped run
// is reported as "> cap" and not repeated.
//
// The results of before and after are compared on a smaller record of each kind (they must be
// the same bytes), and the page with the 100,000 listed modules must be the page with the two
// alone. Exit status 1 when a target is missed or a comparison fails.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench/backdate.h"
#include "bench/quiet_host.h"
#include "engine/config/configuration.h"
#include "engine/pages/chapter_page.h"
#include "engine/pages/pipeline.h"
#include "engine/pages/reference_links.h"
#include "engine/state/render_state.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "setup/main_text.h"
#include "setup/module_index.h"
#include "setup/text_edit.h"
#include "textlib/chapter_keys.h"
#include "textlib/product_identity.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"
#include "tools/synth/installation.h"

namespace {

using quillax::GbString;
namespace platform = quillax::platform;
namespace synth = quillax::synth;

constexpr double kCapSeconds = 20.0;
constexpr std::size_t kRecordBytes = 10u * 1024 * 1024;
constexpr int kListedModules = 100000;

using Clock = std::chrono::steady_clock;

// CPU time of the last Seconds() call: the machine may be shared, and the wall time then
// includes waiting for a core.
double g_lastCpuSeconds = 0;

double Seconds(const std::function<void()>& work) {
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    work();
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    g_lastCpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return wall;
}

// Runs work in a child process and returns its time, or a negative value when it was stopped
// after kCapSeconds (or failed).
double TimedChild(const std::function<void()>& work) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const double seconds = Seconds(work);
        const ssize_t written = write(pipeEnds[1], &seconds, sizeof seconds);
        _exit(written == sizeof seconds ? 0 : 1);
    }
    close(pipeEnds[1]);
    double seconds = -1;
    pollfd ready{pipeEnds[0], POLLIN, 0};
    if (child > 0 && poll(&ready, 1, static_cast<int>(kCapSeconds * 1000)) == 1 &&
        read(pipeEnds[0], &seconds, sizeof seconds) != sizeof seconds) {
        seconds = -1;
    }
    close(pipeEnds[0]);
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// ---- the former passes (reference copies, measured only) ----------------------------------

namespace former {

bool IsAsciiDigit(unsigned char b) { return b >= '0' && b <= '9'; }

// Repeatedly removes the span from an `open` mark through the next `close` mark. With
// skipFirstByte, an `open` at position 0 ends the removals (it is the record's own text).
void RemoveSpans(GbString& record, std::string_view open, std::string_view close, bool skipFirstByte) {
    int from = 0;
    for (;;) {
        const int start = record.Find(open, from);
        if (start < 0 || (skipFirstByte && start == 0)) {
            return;
        }
        const int end = record.Find(close, start);
        if (end < 0) {
            return;
        }
        record.Delete(start, end - start + static_cast<int>(close.size()));
        // Nothing before start holds the mark, so the next search may begin there.
        from = start;
    }
}


void CleanRecord(GbString& record, GbString& output) {
    if (record.IsEmpty()) {
        return;
    }
    quillax::ReplaceAll(record, "'a", "'0");

    // Note spans "'0 ... '1"; a "'0" at the very start ends the search.
    for (int i = record.Find("'0", 0); i > 0; i = record.Find("'0", i + 1)) {
        const int j = record.Find("'1", i);
        if (j > i) {
            record.Delete(i, j - i + 2);
        }
    }

    for (const GbString& entry : quillax::StripList()) {
        quillax::DeleteAll(record, entry);
    }
    quillax::ReplaceAll(record, "$", "#");

    // Grave accents with the digits that follow them.
    for (int i = record.Find("`", 0); i > 0; i = record.Find("`", i)) {
        int end = i + 1;
        while (end < record.Length() && IsAsciiDigit(record.GetAt(end))) {
            ++end;
        }
        record.Delete(i, end - i);
    }

    RemoveSpans(record, "<", ">", true);
    quillax::ReplaceAll(record, ":=", "=");
    quillax::ReplaceAll(record, "'e", "{");
    quillax::ReplaceAll(record, "'f", "}");
    quillax::DeleteAll(record, "\\");
    quillax::DeleteAll(record, "|");
    RemoveSpans(record, "{", "}", false);

    record.Append('\n');
    output.Append(record);
    record.Empty();
}


constexpr int kSlotWidth = 5;
constexpr int kBracketStep = 14;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool StartsWith(const GbString& text, int at, std::string_view word) {
    return !word.empty() && text.Slice(at, static_cast<int>(word.size())) == word;
}

int BookOfName(const GbString& bookNameText, std::string_view name) {
    return bookNameText.Find(name) / kSlotWidth + 1;
}

class BracketSearch {
public:
    explicit BracketSearch(std::string_view pattern) : pattern_(pattern) {}

    int Find(const GbString& text, int from, int limit) {
        if (pattern_.IsEmpty() || from < 0 || from >= limit) return -1;
        if (known_ && from >= from_ && limit == limit_ && (found_ < 0 || found_ >= from)) {
            return found_;
        }
        // A match must start before limit but may end after it.
        const int windowEnd = std::min(text.Length(), limit + pattern_.Length() - 1);
        const GbString window(text.Slice(from, windowEnd - from));
        const int at = window.Find(pattern_);
        known_ = true;
        from_ = from;
        limit_ = limit;
        found_ = at >= 0 && from + at < limit ? from + at : -1;
        return found_;
    }

    void Forget() { known_ = false; }

private:
    GbString pattern_;
    bool known_ = false;
    int from_ = 0;
    int limit_ = 0;
    int found_ = -1;
};


int LinkBracketReferences(GbString& text, std::string_view defaultKey,
                          const quillax::ReferenceContext& context) {
    const GbString& thisChapter = context.vocabulary[quillax::kWordThisChapter];
    const GbString& thisChapterAlt = context.vocabulary[quillax::kWordThisPsalm];

    BracketSearch closing("]");
    BracketSearch colon(":");
    BracketSearch chapterWord(context.vocabulary[quillax::kWordChapterUnit]);
    BracketSearch unitWord(context.vocabulary[quillax::kWordPsalmUnit]);
    auto forgetAll = [&] {
        closing.Forget();
        colon.Forget();
        chapterWord.Forget();
        unitWord.Forget();
    };

    GbString previousKey;      // the key of the previous link of this pass
    bool noColonLeft = false;  // no ":" follows the scan position (the pass adds none)
    int links = 0;
    for (int i = 0;;) {
        i = text.Find("[", i);
        if (i < 0) break;
        const int a = closing.Find(text, i, text.Length());
        if (a < 0) break;

        // Only a bracket with ":" or a chapter word in it holds a reference.
        const int colonInBracket = colon.Find(text, i + 1, a);
        const bool isReference = colonInBracket >= 0 ||
                                 chapterWord.Find(text, i + 1, a) >= 0 ||
                                 unitWord.Find(text, i + 1, a) >= 0;
        if (!isReference) {
            ++i;
            continue;
        }

        text.Delete(a, 1);
        text.Insert(a, "</a>");
        text.Delete(i, 1);
        forgetAll();

        GbString key;
        if (text.GetAt(i) < 0x3A) {
            // Chapter and verse only: the book of the previous link, the chapter before the
            // next ":". That is the bracket's own ":" (one byte nearer now that the "[" is
            // gone) when it has one; otherwise the text after it is searched, once only when
            // it has none at all.
            int verseColon = -1;
            if (colonInBracket >= 0) {
                verseColon = colonInBracket - 1;
            } else if (!noColonLeft) {
                verseColon = text.Find(":", i);
                noColonLeft = verseColon < 0;
            }
            if (verseColon >= 0 && previousKey.Length() >= 2) {
                key.Left(previousKey, 2);
                key.SetPadded(quillax::ToInt(text.Slice(i, verseColon - i)), "000", true);
            }
        } else if (StartsWith(text, i, thisChapter) || StartsWith(text, i, thisChapterAlt)) {
            key = GbString(defaultKey);
        } else {
            // A book abbreviation: two characters, or one character (written "X。" in the
            // book-name text) directly followed by the chapter number.
            GbString name;
            int after = i + 4;
            if (IsDigit(text.GetAt(i + 2))) {
                name.Mid(text, i, 2);
                name += "。";
                after = i + 2;
            } else {
                name.Mid(text, i, 4);
            }
            const int chapter = quillax::ToInt(text.Slice(after, 3));
            key = quillax::MakeChapterKey(static_cast<long long>(BookOfName(context.bookNameText, name)) *
                                     1000 + chapter);
        }

        int step = kBracketStep;
        if (!key.IsEmpty()) {
            const GbString tag = " <a href=" + key + ">";
            text.Insert(i, tag);
            previousKey = key;
            ++links;
            // The step ends on the tag's ">" for a key of five characters; a longer key (a
            // default key can be anything) must not be scanned as text, or brackets in it
            // would be linked again and again without end.
            step = std::max(step, tag.Length() - 1);
        }
        i += step;
    }
    return links;
}


}  // namespace former

// ---- the rows ---------------------------------------------------------------------------

struct Row {
    Row(std::string rowName, double rowTarget) : name(std::move(rowName)), target(rowTarget) {}
    std::string name;
    double target;  // seconds
    std::vector<double> before;
    bool beforeStopped = false;
    std::vector<double> after;
    std::vector<double> afterCpu;
};

void MeasureAfter(Row& row, const std::function<void()>& work) {
    row.after.push_back(Seconds(work));
    row.afterCpu.push_back(g_lastCpuSeconds);
}

void MeasureBefore(Row& row, int repetitions, const std::function<void()>& work) {
    for (int run = 0; run < repetitions && !row.beforeStopped; ++run) {
        const double seconds = TimedChild(work);
        if (seconds < 0) {
            row.beforeStopped = true;
        } else {
            row.before.push_back(seconds);
        }
    }
}

std::string Figure(double seconds) {
    char text[64];
    if (seconds >= 1) {
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%.1f ms", seconds * 1000);
    }
    return text;
}

bool Print(const Row& row) {
    const double after = Median(row.after);
    const bool met = after < row.target;
    const std::string before = row.beforeStopped ? "> " + Figure(kCapSeconds) + " (stopped)"
                                                 : Figure(Median(row.before));
    const std::string afterText = Figure(after) + " (CPU " + Figure(Median(row.afterCpu)) + ")";
    std::printf("%-58s before %-22s after %-24s %s %s\n", row.name.c_str(), before.c_str(),
                afterText.c_str(), met ? "met" : "MISSED", ("(< " + Figure(row.target) + ")").c_str());
    return met;
}

// The GBK bytes of UTF-8 text.
std::string Gbk(const char* utf8) { return platform::Utf8ToGbk(utf8); }

std::string Repeated(const std::string& unit, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() < bytes) text += unit;
    return text;
}

// A chapter record as DeriveMainText collects it: the header line and the line of marks.
GbString ChapterRecord(std::size_t bytes) { return GbString("01001:=" + Repeated("<a>", bytes)); }

GbString BracketRecord(std::size_t bytes) { return GbString(Repeated(Gbk(u8"[创1:1]"), bytes)); }

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--repetitions") == 0) repetitions = std::max(1, std::atoi(argv[i + 1]));
    }
    bool ok = true;

    // The installation of the page row; its configuration gives the bracket pass its book names
    // and vocabulary.
    std::string base = platform::TemporaryDirectory();
    if (!base.empty() && base.back() != '/') base += '/';
    const std::string root = base + "quillax-text-bounds-bench-" + std::to_string(getpid());
    synth::Options options;
    options.seed = 1;
    options.configSource = QUILLAX_BENCH_SAMPLE_CONFIG_DIR;
    std::string error;
    const std::string install = root + "/full";
    if (!synth::Write(synth::Generate(options), install, &error)) {
        std::fprintf(stderr, "text_bounds_bench: cannot write the installation: %s\n", error.c_str());
        return 2;
    }
    const std::string cfg = synth::ConfigDirectory(install);
    quillax::PrepareModules(cfg);
    quillax::bench::Backdate(root);
    quillax::RenderState engine;
    platform::SetEnvironmentValue("QUILLAX_REGISTRY", root + "/registry");
    platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, quillax::kInstallationKey, "", cfg);
    quillax::LoadConfiguration(engine);
    platform::SetEnvironmentValue("QUILLAX_REGISTRY", std::nullopt);
    int lastBook = 0;
    GbString linkKey;
    const quillax::ReferenceContext refs{engine.bookNameText, engine.cmpStr, lastBook, linkKey};

    // Same bytes before and after, on records small enough for the former passes.
    {
        GbString small = ChapterRecord(60000);
        small += Gbk(u8"'a注'1经文`12`x<i>斜</i>{'e}{甲'f}$ 　　") + "<a>" + Repeated("'0x'1y", 3000);
        GbString was = small;
        GbString out;
        GbString outWas;
        quillax::CleanRecord(small, out);
        former::CleanRecord(was, outWas);
        GbString brackets = BracketRecord(60000);
        brackets += Gbk(u8"[本章:3][4:5][约3:16][x][[创2:1]]");
        GbString bracketsWas = brackets;
        quillax::LinkBracketReferences(brackets, "01001", refs);
        former::LinkBracketReferences(bracketsWas, "01001", refs);
        if (out != outWas || brackets != bracketsWas) {
            std::fprintf(stderr, "text_bounds_bench: the passes give other bytes than before\n");
            ok = false;
        }
    }

    Row derivation{"main text derivation, record of 10 MB of \"<a>\"", 1.0};
    MeasureBefore(derivation, repetitions, [] {
        GbString record = ChapterRecord(kRecordBytes);
        GbString output;
        former::CleanRecord(record, output);
    });
    for (int run = 0; run < repetitions; ++run) {
        GbString record = ChapterRecord(kRecordBytes);
        GbString output;
        MeasureAfter(derivation, [&] { quillax::CleanRecord(record, output); });
    }

    Row brackets{u8"bracket-reference pass, record of 10 MB of \"[创1:1]\"", 1.0};
    MeasureBefore(brackets, repetitions, [&] {
        GbString record = BracketRecord(kRecordBytes);
        former::LinkBracketReferences(record, "01001", refs);
    });
    for (int run = 0; run < repetitions; ++run) {
        GbString record = BracketRecord(kRecordBytes);
        MeasureAfter(brackets, [&] { quillax::LinkBracketReferences(record, "01001", refs); });
    }

    // The page: the installation's two parallel modules and 100,000 listed ones that do not exist.
    quillax::bench::QuietHost host;
    engine.host.pageWindow = &host;
    engine.readModel = 2;
    quillax::OpenPage(engine, "43003", 0, "");
    const std::u16string alone = host.body;
    const quillax::GbList installed = engine.parallelModules;
    for (int i = 0; i < kListedModules; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "usr\\p%06d", i);
        engine.parallelModules.Add(name);
    }
    Row page{"chapter page listing 100,000 parallel modules (2 exist)", 0.1};
    MeasureBefore(page, repetitions, [&] {
        // The former loop's work for each listed module that does not exist.
        GbString text(platform::Utf16ToGbk(alone));
        for (const GbString& entry : engine.parallelModules) {
            GbString verses = quillax::ReadModuleEntry(engine, entry, "43003", false);
            int current = text.Find("<s>1</s>");
            text.Replace("　　<s", "<s");
            GbString label = engine.cmpStr[quillax::kWordParallelOpen];
            label.Insert(label.Find(">"), entry);
            current += label.Length() + verses.Length();
        }
    });
    for (int run = 0; run < repetitions; ++run) {
        engine.host.currentKey.Empty();  // a page already shown is not built again
        MeasureAfter(page, [&] { quillax::OpenPage(engine, "43003", 0, ""); });
        if (host.body != alone) {
            std::fprintf(stderr, "text_bounds_bench: the page differs from the page of the two modules alone\n");
            ok = false;
        }
    }
    engine.host.pageWindow = nullptr;
    engine.parallelModules = installed;
    platform::RemoveTree(root);

    std::printf("passes over huge records and a page of many parallel modules, median of %d runs\n", repetitions);
    ok = Print(derivation) && ok;
    ok = Print(brackets) && ok;
    ok = Print(page) && ok;
    return ok ? 0 : 1;
}
