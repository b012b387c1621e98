// The parts of the synthetic installation (installation.h), shared by its writers. Which file
// writes what:
//
//   installation.cpp         Generate (the modules in the order of the module table), Write,
//                            the key and record helpers
//   installation_config.cpp  cfg/bible.ini and its companions; the book tables
//                            (LoadConfiguration)
//   chain_writer.cpp         sys/tessaly.txt, sys/corpa.txt, sys/emendo.txt (WriteChainBible)
//   prose_writers.cpp        sys/amberly.txt, sys/rovask.txt and the study prose
//                            (WriteDevotional, DictionaryKeys, WriteDictionary, Prose)
//   plan_writers.cpp         sys/tidoran.txt, sys/oblix.txt, sys/zendri.txt (WriteWheel,
//                            WriteOutline, WriteStudyNotes)
//   translation_writer.cpp   usr/niv.txt, usr/nasb.txt (WriteTranslation)
//
// Each module draws from the random stream of its own salt.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "textlib/chapter_keys.h"
#include "textlib/gb_string.h"
#include "tools/synth/bible_shape.h"
#include "tools/synth/installation.h"
#include "tools/synth/synth_random.h"
#include "tools/synth/synth_text.h"

namespace quillax::synth::detail {

constexpr char kCrLf[] = "\r\n";
constexpr char kIndent[] = "　　";  // two ideographic spaces: the indent of a verse or paragraph

// Salts of the random streams, one per part of the installation.
enum Salt : std::uint64_t {
    kSaltTessaly = 1,
    kSaltEmendo,
    kSaltTidoran,
    kSaltOblix,
    kSaltAmberly,
    kSaltRovask,
    kSaltZendri,
    kSaltNiv,
    kSaltNasb,
};

constexpr int kDevotionalDays = 352;  // the devotional has no entry after day 352
constexpr int kDictionaryEntries = 2400;
constexpr char kFullStop[] = "。";

// --- configuration ---------------------------------------------------------------------------

struct Configuration {
    std::string bookNameText;        // 330 bytes
    std::vector<std::string> names;  // 66 display names
    std::string tableWidth;          // TABLETDWIDTH item 5, the zendri width placeholder
    std::vector<std::string> parallelNames;  // EQUATEFILE of the copied bible.ini
};

// Reads the sample configuration when there is one: the book tables and the width placeholder
// come from it, and bible.ini is copied with "EQUATEFILE=" naming the parallel translations
// that this installation holds.
Configuration LoadConfiguration(const Options& options, Installation& installation);

// --- keys and references ---------------------------------------------------------------------

// The text keys of one index. The reader finds a key by a byte-wise search of key + "=" over
// the whole index, so no key may be the ending of another key of the same index, at any byte
// (a GBK trail byte followed by the bytes of a shorter key would do).
class TextKeySet {
public:
    enum class Result { Added, Exists, Conflict };

    Result Add(const std::string& key) {
        if (keys_.count(key) != 0) return Result::Exists;
        if (key.size() < 2 || suffixes_.count(key) != 0) return Result::Conflict;
        for (std::size_t i = 1; i + 2 <= key.size(); ++i) {
            if (keys_.count(key.substr(i)) != 0) return Result::Conflict;
        }
        keys_.insert(key);
        for (std::size_t i = 1; i + 2 <= key.size(); ++i) suffixes_.insert(key.substr(i));
        return Result::Added;
    }

private:
    std::unordered_set<std::string> keys_;
    std::unordered_set<std::string> suffixes_;
};

// References as readers write them ("约3:16", "林前13:4-7"), made only for books whose written
// abbreviation the engine maps back to the same book.
class References {
public:
    References(const std::string& bookNameText, const Options& options) {
        const GbString table(bookNameText);
        for (int book = 1; book <= kBookCount; ++book) {
            chapters_.push_back(options.KeptChapters(book));
            std::string slot = bookNameText.substr(static_cast<std::size_t>(book - 1) * 5, 4);
            // A one-character abbreviation is padded with "。" in its slot and written alone.
            const bool single = slot.compare(2, 2, kFullStop) == 0;
            std::string written = single ? slot.substr(0, 2) : slot;
            // The lookups of the engine: the written name (the bracket pass looks for the
            // padded slot of a one-character name).
            const int found = table.Find(written);
            const int foundSlot = table.Find(single ? slot : written);
            const bool ok = found >= 0 && found / 5 + 1 == book && foundSlot >= 0 &&
                            foundSlot / 5 + 1 == book &&
                            IsGbkLeadByte(static_cast<unsigned char>(written[0]));
            abbreviations_.push_back(written);
            if (ok && chapters_.back() > 0) referable_.push_back(book);
        }
    }

    bool Empty() const { return referable_.empty(); }
    const std::string& Abbreviation(int book) const {
        return abbreviations_[static_cast<std::size_t>(book - 1)];
    }
    // Chapters of a book that references may name.
    int ChapterCount(int book) const { return chapters_[static_cast<std::size_t>(book - 1)]; }
    bool Referable(int book) const {
        return std::find(referable_.begin(), referable_.end(), book) != referable_.end();
    }

    int PickBook(Random& random) const {
        return referable_[static_cast<std::size_t>(random.Below(static_cast<int>(referable_.size())))];
    }

    // A verse reference into an existing chapter and verse: "约3:16", "约3:16-18", "约3:16,18".
    std::string Verse(Random& random) const {
        const int book = PickBook(random);
        return Verse(random, book, random.Between(1, ChapterCount(book)));
    }
    // allowList false: a single verse or a range, never a list with "," (for texts whose
    // fields are separated by ",").
    std::string Verse(Random& random, int book, int chapter, bool allowList = true) const {
        std::string ref = Abbreviation(book);
        AppendNumber(ref, chapter);
        ref += ':';
        AppendVerses(random, ref, book, chapter, allowList);
        return ref;
    }
    // Only the chapter and verses ("3:5"), continuing the previous reference's book.
    std::string Continuation(Random& random, int book) const {
        std::string ref;
        const int chapter = random.Between(1, std::max(1, ChapterCount(book)));
        AppendNumber(ref, chapter);
        ref += ':';
        AppendVerses(random, ref, book, chapter, true);
        return ref;
    }
    // A whole chapter with the chapter word: "创1章", "诗23篇".
    std::string Chapter(Random& random) const {
        const int book = PickBook(random);
        std::string ref = Abbreviation(book);
        AppendNumber(ref, random.Between(1, ChapterCount(book)));
        ref += book == 19 ? "篇" : "章";
        return ref;
    }

private:
    static void AppendVerses(Random& random, std::string& ref, int book, int chapter,
                             bool allowList) {
        const int verses = VerseCount(book, chapter);
        const int first = random.Between(1, verses);
        AppendNumber(ref, first);
        const int kind = random.Below(10);
        if (kind < 3 && first < verses) {
            ref += '-';
            AppendNumber(ref, random.Between(first + 1, std::min(verses, first + 8)));
        } else if (kind == 3 && allowList && first + 1 < verses) {
            ref += ',';
            AppendNumber(ref, random.Between(first + 2, verses));
        }
    }

    std::vector<std::string> abbreviations_;
    std::vector<int> chapters_;
    std::vector<int> referable_;
};

// "BBCCC" of a chapter.
std::string ChapterKey(int book, int chapter);
// "DDD" of a plan day.
std::string DayKey(int day);
// Where a sentence's closing punctuation starts: before "。" or before "。”".
std::size_t BeforeFinalPunctuation(const std::string& sentence);

// Opens a record whose text starts at the current end of the module.
void BeginRecord(Module& module, std::string key);
// Closes the last record at the current end, without the line break that ends it.
void EndRecord(Module& module, std::size_t lineEndBytes);

// --- the writers -----------------------------------------------------------------------------

// The chain-reference Bible, the main text (with Options::mainText) and the text-fix notes of
// the phrases marked in the Bible.
void WriteChainBible(const Options& options, const Configuration& config, const References& refs,
                     Module& tessaly, Module& corpa, Module& emendo);

// A paragraph of study prose, about targetChars characters, appended to out.
void Prose(Random& random, ChineseWriter& chinese, const References& refs,
           const std::vector<std::string>* dictionaryKeys, int targetChars, std::string& out);
void WriteDevotional(const Options& options, const References& refs,
                     const std::vector<std::string>& dictionaryKeys, Module& amberly);
// The keys of the dictionary, none the ending of another.
std::vector<std::string> DictionaryKeys(const Options& options, Random& random,
                                        ChineseWriter& chinese);
void WriteDictionary(const References& refs, const std::vector<std::string>& keys,
                     Random& random, ChineseWriter& chinese, Module& rovask);

void WriteWheel(const Options& options, const Configuration& config, const References& refs,
                Module& tidoran);
void WriteOutline(const Options& options, const Configuration& config, const References& refs,
                  Module& oblix);
void WriteStudyNotes(const Options& options, const Configuration& config, const References& refs,
                     const std::vector<std::string>& dictionaryKeys, Module& zendri);

// A parallel translation as the import writes it.
void WriteTranslation(const Options& options, std::uint64_t salt, bool formal, Module& module);

}  // namespace quillax::synth::detail
