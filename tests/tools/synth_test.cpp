// The synthetic installation generator: the same seed gives the same bytes, the texts have the
// shape of the real modules, and every record comes back through the set-up tool's indexes and
// the module reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "setup/main_text.h"
#include "setup/module_index.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"
#include "textlib/gb_list.h"
#include "textlib/markup.h"
#include "textlib/module_reader.h"
#include "tools/synth/bible_shape.h"
#include "tools/synth/installation.h"

namespace quillax::synth {
namespace {

// A directory for one test, removed with everything in it at the end.
class Scratch {
public:
    Scratch() {
        static std::atomic<unsigned> counter{0};
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = ::testing::TempDir() + "quillax_synth_" + std::to_string(ticks % 1000000007) +
                "_" + std::to_string(counter.fetch_add(1));
        platform::MakeDirectories(path_);
    }
    ~Scratch() { Remove(path_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& Path() const { return path_; }

private:
    static void Remove(const std::string& path) {
        for (const platform::DirectoryEntry& entry : platform::ListDirectory(path)) {
            const std::string child = path + "/" + entry.name;
            if ((entry.attributes & platform::kAttrDirectory) != 0) {
                Remove(child);
            } else {
                platform::SetReadOnly(child, false);
                platform::RemoveFile(child);
            }
        }
        platform::RemoveEmptyDirectory(path);
    }
    std::string path_;
};

Options TestOptions(std::uint64_t seed) {
    Options options;
    options.seed = seed;
    options.configSource = QUILLAX_TEST_SAMPLE_CONFIG_DIR;
    return options;
}

// The installation of seed 1, generated once for the tests that only read it.
const Installation& Shared() {
    static const Installation installation = Generate(TestOptions(1));
    return installation;
}

// Marks the files of a directory tree as written a minute ago, so that the module reader's
// cache keeps them (it does not keep files written within the last few seconds).
void Backdate(const std::string& path) {
    const platform::FileTime minuteAgo =
        platform::FileTimeFromUnixSeconds(
            std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::system_clock::now().time_since_epoch()).count() - 60);
    for (const platform::DirectoryEntry& entry : platform::ListDirectory(path)) {
        const std::string child = path + "/" + entry.name;
        if ((entry.attributes & platform::kAttrDirectory) != 0) {
            Backdate(child);
        } else {
            platform::FileTimes times;
            times.lastWrite = minuteAgo;
            times.lastAccess = minuteAgo;
            platform::SetFileTimes(child, times);
        }
    }
}

TEST(SynthInstallation, SameSeedGivesSameBytesAndOtherSeedOtherText) {
    const Installation& first = Shared();
    const Installation again = Generate(TestOptions(1));
    const Installation other = Generate(TestOptions(2));
    ASSERT_EQ(first.modules.size(), 10u);
    ASSERT_EQ(again.modules.size(), first.modules.size());
    ASSERT_EQ(other.modules.size(), first.modules.size());
    EXPECT_EQ(again.bibleIni, first.bibleIni);
    for (std::size_t m = 0; m < first.modules.size(); ++m) {
        const Module& a = first.modules[m];
        SCOPED_TRACE(a.name);
        EXPECT_TRUE(again.modules[m].text == a.text);
        EXPECT_EQ(again.modules[m].records.size(), a.records.size());
        EXPECT_FALSE(other.modules[m].text == a.text);
    }
    // The Bible's shape does not depend on the seed: the same chapter keys in the same order.
    const Module* tessaly = first.FindModule("sys\\Tessaly");
    const Module* otherTessaly = other.FindModule("sys\\Tessaly");
    ASSERT_NE(tessaly, nullptr);
    ASSERT_NE(otherTessaly, nullptr);
    ASSERT_EQ(otherTessaly->records.size(), tessaly->records.size());
    for (std::size_t r = 0; r < tessaly->records.size(); ++r) {
        EXPECT_EQ(otherTessaly->records[r].key, tessaly->records[r].key);
    }
}

TEST(SynthInstallation, TextsHaveTheShapeOfTheRealModules) {
    // The verse table: every book's total, 31,102 verses, the extremes of the Psalms.
    int sum = 0;
    for (int book = 1; book <= kBookCount; ++book) {
        int bookSum = 0;
        for (int chapter = 1; chapter <= ChapterCount(book); ++chapter) {
            EXPECT_GE(VerseCount(book, chapter), 2) << book << ":" << chapter;
            bookSum += VerseCount(book, chapter);
        }
        EXPECT_EQ(bookSum, BookVerseCount(book)) << book;
        sum += bookSum;
    }
    EXPECT_EQ(sum, 31102);
    EXPECT_EQ(VerseCount(19, 119), 176);
    EXPECT_EQ(VerseCount(19, 117), 2);
    EXPECT_EQ(VerseCount(19, 151), 0);

    const Installation& installation = Shared();
    EXPECT_TRUE(installation.bibleIniCopied);
    EXPECT_NE(installation.bibleIni.find("EQUATEFILE=usr\\niv,usr\\nasb\r\n"), std::string::npos);

    // Chain-reference module: a book introduction (special key) before each book's chapters,
    // every chapter with its verse marks 1..n in order.
    const Module& tessaly = *installation.FindModule("sys\\Tessaly");
    ASSERT_EQ(tessaly.records.size(), 1189u + 66u);
    int chapters = 0;
    for (const Record& record : tessaly.records) {
        if (record.key.size() == 7) {
            EXPECT_EQ(IsChapterKey(record.key, true), 1) << record.key;
            continue;
        }
        const int number = IsChapterKey(record.key, false);
        ASSERT_NE(number, 0) << record.key;
        ++chapters;
        const std::string_view text = tessaly.RecordText(record);
        EXPECT_EQ(text.substr(0, 2), "'3") << record.key;
        EXPECT_EQ(text.substr(text.size() - 2), "'4") << record.key;
        std::size_t at = 0;
        const int verses = VerseCount(number / 1000, number % 1000);
        for (int verse = 1; verse <= verses; ++verse) {
            const std::string mark = "$" + std::to_string(verse);
            at = text.find(mark, at);
            ASSERT_NE(at, std::string_view::npos) << record.key << " verse " << verse;
            at += mark.size();
        }
        EXPECT_EQ(text.find('$', at), std::string_view::npos) << record.key;
    }
    EXPECT_EQ(chapters, 1189);

    // Line ends: CR LF everywhere, except the main text (LF) and the chapter header lines of
    // the imported translations (LF).
    for (const Module& module : installation.modules) {
        SCOPED_TRACE(module.name);
        const bool lfOnly = module.name == "sys\\Corpa";
        const bool imported = module.name.rfind("usr\\", 0) == 0;
        std::size_t bareLf = 0;
        std::size_t crLf = 0;
        for (std::size_t i = 0; i < module.text.size(); ++i) {
            if (module.text[i] != '\n') continue;
            if (i > 0 && module.text[i - 1] == '\r') {
                ++crLf;
            } else {
                ++bareLf;
            }
        }
        if (lfOnly) {
            EXPECT_EQ(crLf, 0u);
        }
        EXPECT_EQ(bareLf, lfOnly || imported ? 1189u : 0u);
        EXPECT_EQ(module.text.back(), '\n');
    }

    // Reading wheel: one line of 15 fields per plan day.
    const Module& tidoran = *installation.FindModule("sys\\tidoran");
    ASSERT_EQ(tidoran.records.size(), 478u);
    for (const Record& record : tidoran.records) {
        const std::string_view line = tidoran.RecordText(record);
        int commas = 0;
        for (char c : line) commas += c == ',';
        EXPECT_EQ(commas, 14) << record.key;
    }
    // Text-fix notes: keyed by the phrases marked in the Bible text; enough of them that the
    // index outgrows the 65,536 bytes of the original buffer.
    const Module& emendo = *installation.FindModule("sys\\emendo");
    std::size_t indexBytes = 5;
    for (const Record& record : emendo.records) {
        EXPECT_NE(tessaly.text.find(record.key), std::string::npos) << record.key;
        indexBytes += record.key.size() + 5;
    }
    EXPECT_GT(indexBytes, 65536u);
}

// Builds every index with the set-up tool and reads every record of every module back through
// the module reader: the record's bytes, markup converted, whatever their key form (chapter
// keys, special keys, day numbers, marked phrases, dictionary words, sequence numbers).
void ExpectEveryRecordReadsBack(const Installation& installation) {
    Scratch scratch;
    std::string error;
    ASSERT_TRUE(Write(installation, scratch.Path(), &error)) << error;
    const std::string cfg = ConfigDirectory(scratch.Path());
    PrepareModules(cfg);
    for (const Module& module : installation.modules) {
        const std::string index = cfg + module.fileName.substr(0, module.fileName.size() - 4) + ".inx";
        ASSERT_TRUE(platform::FileExists(index)) << index;
    }
    Backdate(scratch.Path());

    const GbString configText = ReadConfigFile(cfg + "bible.ini");
    const GbString installDir(cfg);
    const GbString systemTextDir = ReadConfigValue(configText, "TXTSYSPTH=");
    const GbString systemModules = ReadConfigValue(configText, "SYSKEY=");
    const GbList vocabulary = ReadConfigList(configText, "CMPSTR=");
    ModuleFileCache files;
    const ModuleReaderContext context{installDir, systemTextDir, systemModules, false,
                                      vocabulary, nullptr, &files};
    std::size_t checked = 0;
    for (const Module& module : installation.modules) {
        // The engine's name of the module: "tessaly" for the system modules, "usr\niv" for the
        // parallel translations.
        std::string name = module.name;
        if (name.rfind("sys\\", 0) == 0) name = name.substr(4);
        int mismatches = 0;
        for (const Record& record : module.records) {
            GbString expected(module.RecordText(record));
            RenderMarkup(expected);
            const GbString actual = ReadModuleEntryWith(context, name, record.key, false);
            if (actual != expected && ++mismatches <= 3) {
                ADD_FAILURE() << module.name << " record " << record.key << ": "
                              << actual.Length() << " bytes read, " << expected.Length()
                              << " expected";
            }
            ++checked;
        }
        EXPECT_EQ(mismatches, 0) << module.name;
    }
    EXPECT_GT(checked, 12000u);

    // Writing again removes the indexes, which would not describe a new text.
    ASSERT_TRUE(Write(installation, scratch.Path(), &error)) << error;
    EXPECT_FALSE(platform::FileExists(cfg + "sys/tessaly.inx"));
    EXPECT_FALSE(platform::FileExists(cfg + "usr/niv.inx"));
}

TEST(SynthInstallation, EveryRecordReadsBackThroughItsIndex) {
    ExpectEveryRecordReadsBack(Shared());
    // With seed 3 an offset of the 4 MB translation holds the bytes of a later chapter's key:
    // lookup must compare keys at entry starts only.
    ExpectEveryRecordReadsBack(Generate(TestOptions(3)));
}

// The set-up tool derives the main text from the chain-reference module; the generator writes
// the main text from the same verses. Both must give the same bytes.
TEST(SynthInstallation, DerivedMainTextEqualsGeneratedMainText) {
    Options options = TestOptions(3);
    options.mainText = false;
    const Installation withoutMainText = Generate(options);
    EXPECT_EQ(withoutMainText.FindModule("sys\\Corpa"), nullptr);
    Scratch scratch;
    std::string error;
    ASSERT_TRUE(Write(withoutMainText, scratch.Path(), &error)) << error;
    const std::string cfg = ConfigDirectory(scratch.Path());
    DeriveMainText(cfg);
    const std::optional<std::string> derived = platform::ReadWholeFile(cfg + "sys/corpa.txt");
    ASSERT_TRUE(derived.has_value());

    const Installation withMainText = Generate(TestOptions(3));
    const Module* corpa = withMainText.FindModule("sys\\Corpa");
    ASSERT_NE(corpa, nullptr);
    // Report the first differing line rather than two texts of 2 MB.
    std::size_t line = 0;
    for (std::size_t i = 0; i < std::min(derived->size(), corpa->text.size()); ++i) {
        if ((*derived)[i] != corpa->text[i]) {
            ADD_FAILURE() << "first difference in line " << line + 1 << " at byte " << i;
            break;
        }
        line += (*derived)[i] == '\n';
    }
    EXPECT_EQ(derived->size(), corpa->text.size());
}

}  // namespace
}  // namespace quillax::synth
