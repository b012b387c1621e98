// Every chapter of an installation, opened by the host page in every reading layout and in the
// no-links form, and the page the fake host then holds checked for its rows:
//  - every table row starts with a cell ("<tr ...>" directly followed by "<td");
//  - the k-th verse of each parallel translation stands in the text of the page's verse k (the
//    last verse takes the ones the page has no verse for): after that verse's mark, before the
//    next verse's mark and, in a table, before the verse's text cell ends (the next cell, row or
//    table);
//  - a chapter the installation lacks shows the missing-passage notice.
// The translations' verses are cut out of their records here, independently of the page
// builder. Runs on the sample installation and, in the native build, on the full-size generated
// one (tools/synth).
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/backdate.h"
#include "engine/com/control.h"
#include "engine/config/configuration.h"
#include "engine/pages/reference_links.h"
#include "engine/testing/fake_host.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/temp_dir.h"
#include "setup/module_index.h"
#include "textlib/chapter_keys.h"
#include "textlib/product_identity.h"
#include "textlib/vocabulary.h"
#include "tools/synth/bible_shape.h"
#include "tools/synth/installation.h"

namespace quillax {
namespace {

using testing::TempDir;

constexpr int kLayouts[] = {0, 1, 2, 9999};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The verses of a translation's chapter record: the text after each "$" and its digits, up to
// the next such mark, without the line break at its end.
std::vector<std::string> VersePieces(std::string_view record) {
    std::vector<std::string> pieces;
    std::size_t at = record.find('$');
    while (at != std::string_view::npos) {
        std::size_t start = at + 1;
        while (start < record.size() && IsDigit(record[start])) ++start;
        std::size_t next = record.find('$', start);
        std::string piece(record.substr(start, next == std::string_view::npos ? next : next - start));
        while (!piece.empty() && (piece.back() == '\r' || piece.back() == '\n')) piece.pop_back();
        pieces.push_back(piece);
        at = next;
    }
    return pieces;
}

// Positions of the verse marks "<s>n</s>" of a page, by verse number (the first of each).
std::map<int, std::size_t> VerseMarks(const std::string& page) {
    std::map<int, std::size_t> marks;
    for (std::size_t at = page.find("<s>"); at != std::string::npos; at = page.find("<s>", at + 3)) {
        std::size_t end = at + 3;
        int verse = 0;
        while (end < page.size() && IsDigit(page[end])) verse = verse * 10 + (page[end++] - '0');
        if (end > at + 3 && page.compare(end, 4, "</s>") == 0) marks.emplace(verse, at);
    }
    return marks;
}

// Whether one of the tags that end a verse's text cell lies in page[from, to).
bool CellEndsBetween(const std::string& page, std::size_t from, std::size_t to) {
    const std::string_view span = std::string_view(page).substr(from, to - from);
    for (const char* tag : {"<td", "<tr", "</table", "<table"}) {
        if (span.find(tag) != std::string_view::npos) return true;
    }
    return false;
}

struct Translation {
    GbString entry;      // as EQUATEFILE names it ("usr\kjv")
    std::string open;    // the opening of its verses' boxes
};

class ParallelLayoutSweep {
public:
    // Loads the installation of configDir (which ends in "\" or "/") as the library does.
    explicit ParallelLayoutSweep(const std::string& configDir) {
        // Linux: a registry store of the test's own; Windows: the value is put back at the end.
        savedStore_ = platform::GetEnvironmentValue("QUILLAX_REGISTRY");
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", configDir + "registry");
        savedInstallation_ = platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser,
                                                         kInstallationKey, "");
        platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kInstallationKey, "",
                                      configDir);
        LoadConfiguration(state_);
        state_.chapter.showMessage = [](std::string_view, std::string_view) {};
        state_.events.sleep = [](int) {};
        control_ = std::make_unique<Cqlx>(state_);
        control_->init(&host_, u"");
        for (const GbString& entry : state_.parallelModules) {
            if (entry.IsEmpty()) continue;
            const int slash = entry.Find("\\");
            const std::string name(slash > 0 ? entry.Slice(slash + 1) : entry.view());
            std::string open = state_.cmpStr[kWordParallelOpen].str();
            open.insert(open.find('>'), name);
            translations_.push_back({entry, open});
        }
    }
    ~ParallelLayoutSweep() {
        control_.reset();
        if (savedInstallation_) {
            const std::string& bytes = savedInstallation_->bytes;
            platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kInstallationKey, "",
                                          bytes.substr(0, bytes.find('\0')));
        } else {
            platform::DeleteRegistryValue(platform::RegistryRoot::CurrentUser, kInstallationKey, "");
        }
        platform::SetEnvironmentValue("QUILLAX_REGISTRY", savedStore_);
    }

    const RenderState& state() const { return state_; }
    std::size_t TranslationCount() const { return translations_.size(); }

    // Opens every chapter in every layout and form; the first problem found, or empty. Counts
    // the pages that had parallel verses in *withParallel.
    std::string Run(int* withParallel) {
        *withParallel = 0;
        for (const int layout : kLayouts) {
            state_.readModel = layout;
            for (const int noLinks : {0, 1}) {
                for (int i = 0; i < synth::kTotalChapters; ++i) {
                    const synth::ChapterRef ref = synth::ChapterAt(i);
                    const GbString key = MakeChapterKey(ref.book * 1000 + ref.chapter);
                    control_->openchahtm(std::u16string(key.view().begin(), key.view().end()),
                                         noLinks, u"");
                    const std::string page = FakeHost::Gbk(host_.body);
                    host_.ClearLog();
                    bool parallel = false;
                    const std::string problem = Check(page, key, layout, noLinks != 0, parallel);
                    if (parallel) ++*withParallel;
                    if (!problem.empty()) {
                        return key.str() + " layout " + std::to_string(layout) +
                               (noLinks ? " no links: " : ": ") + problem;
                    }
                }
            }
        }
        return {};
    }

private:
    std::string Check(const std::string& page, const GbString& key, int layout, bool noLinks,
                      bool& parallel) {
        // Rows start with a cell.
        for (std::size_t row = page.find("<tr"); row != std::string::npos; row = page.find("<tr", row + 3)) {
            if (page[row + 3] != '>' && page[row + 3] != ' ') continue;
            const std::size_t close = page.find('>', row);
            if (close == std::string::npos || page.compare(close + 1, 3, "<td") != 0) {
                return "a row that does not start with a cell: " + page.substr(row, 160);
            }
        }

        const std::map<int, std::size_t> marks = VerseMarks(page);
        const std::string& missing = state_.cmpStr[kWordPassageMissing].str();
        if (marks.empty()) {
            // Nothing of the chapter: the notice, between the bars of the page form.
            if (!noLinks && page.find(missing) == std::string::npos) return "no verses and no notice";
            return {};
        }
        if (page.find(missing) != std::string::npos) return "verses and the missing-passage notice";

        const bool expectParallel = layout > 1;
        const std::string& close = state_.cmpStr[kWordParallelClose].str();
        for (const Translation& translation : translations_) {
            const std::vector<std::string> pieces =
                VersePieces(ReadModuleEntry(state_, translation.entry, key, false).view());
            std::size_t verse = 0;
            for (std::size_t box = page.find(translation.open); box != std::string::npos;
                 box = page.find(translation.open, box + 1)) {
                if (!expectParallel) return "parallel verses in layout " + std::to_string(layout);
                parallel = true;
                ++verse;
                if (verse > pieces.size()) return "more boxes than verses of " + translation.open;
                const std::size_t end = page.find(close, box);
                const std::string& piece = pieces[verse - 1];
                if (end == std::string::npos || page.substr(box, end - box).find(piece) == std::string::npos) {
                    return "box " + std::to_string(verse) + " does not hold its verse: " +
                           page.substr(box, 160);
                }
                // The verse it belongs beside: its own, or the nearest before it that the page
                // has (the page's last verse takes the translation's further verses).
                auto own = marks.upper_bound(static_cast<int>(verse));
                if (own == marks.begin()) return "a box before the page's first verse";
                --own;
                const auto next = std::next(own);
                if (box < own->second || (next != marks.end() && box > next->second)) {
                    return "verse " + std::to_string(verse) + " of " + translation.open +
                           " stands beside verse " + std::to_string(own->first) + "'s neighbour: " +
                           page.substr(own->second, box - own->second + 60);
                }
                if (!noLinks && CellEndsBetween(page, own->second, box)) {
                    return "verse " + std::to_string(verse) + " of " + translation.open +
                           " is outside its verse's cell: " + page.substr(own->second, box - own->second + 60);
                }
            }
            if (expectParallel && verse != pieces.size()) {
                return std::to_string(verse) + " boxes for " + std::to_string(pieces.size()) +
                       " verses of " + translation.open;
            }
        }
        return {};
    }

    RenderState state_;
    FakeHost host_;
    std::unique_ptr<Cqlx> control_;
    std::vector<Translation> translations_;
    std::optional<std::string> savedStore_;
    std::optional<platform::RegistryValue> savedInstallation_;
};

// Copies the sample's configuration and modules into dir and builds their indexes, those of the
// parallel translations as the import builds them.
void InstallSample(const std::string& dir) {
    const std::string sample = "sample\\cfg\\";
    for (const char* name : {"bible.ini", "bible.css", "quillets.js"}) {
        platform::CopyFileTo(sample + name, dir + name, false);
    }
    for (const char* folder : {"sys", "usr"}) {
        platform::MakeDirectories(dir + folder);
        for (const platform::DirectoryEntry& entry : platform::ListDirectory(sample + folder)) {
            platform::CopyFileTo(sample + folder + "\\" + entry.name, dir + folder + "\\" + entry.name, false);
        }
    }
    PrepareModules(dir);
    for (const char* translation : {"usr\\kjv", "usr\\web"}) BuildModuleIndex(dir, translation, false, ":=");
    bench::Backdate(dir);
}

TEST(ParallelLayout, EveryChapterOfTheSampleInEveryLayout) {
    TempDir dir;
    ASSERT_TRUE(platform::FileExists("sample\\cfg\\bible.ini"))
        << "sample/cfg/bible.ini not found (run from the repository root)";
    const std::string cfg = dir.path() + "\\";
    InstallSample(cfg);
    ParallelLayoutSweep sweep(cfg);
    ASSERT_EQ(sweep.TranslationCount(), 2u);
    int withParallel = 0;
    EXPECT_EQ(sweep.Run(&withParallel), "");
    // The sample's chapters, in the two parallel layouts and both forms.
    EXPECT_GT(withParallel, 0);
}

#ifdef QUILLAX_FULL_SIZE_SWEEP
TEST(ParallelLayout, EveryChapterOfTheFullSizeInstallationInEveryLayout) {
    TempDir dir;
    synth::Options options;
    options.configSource = "sample/cfg";
    std::string error;
    ASSERT_TRUE(synth::Write(synth::Generate(options), dir.path(), &error)) << error;
    const std::string cfg = synth::ConfigDirectory(dir.path());
    PrepareModules(cfg);
    bench::Backdate(dir.path());
    ParallelLayoutSweep sweep(cfg);
    ASSERT_EQ(sweep.TranslationCount(), 2u);
    int withParallel = 0;
    EXPECT_EQ(sweep.Run(&withParallel), "");
    // Every chapter has its translations, in both parallel layouts and both forms.
    EXPECT_EQ(withParallel, 4 * synth::kTotalChapters);
}
#endif

}  // namespace
}  // namespace quillax
