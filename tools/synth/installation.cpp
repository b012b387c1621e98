#include "tools/synth/installation.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>

#include "platform/files.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"
#include "textlib/gb_string.h"
#include "tools/synth/bible_shape.h"
#include "tools/synth/synth_random.h"
#include "tools/synth/synth_text.h"

namespace quillax::synth {
namespace {

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

// --- configuration ---------------------------------------------------------------------------

// The book abbreviations ("CNAME=": 66 slots of 5 bytes) and display names ("CCNAME=") used
// when no sample configuration is at hand; the same as the sample's.
constexpr char kDefaultBookNameText[] =
    "创。,出。,利。,民。,申。,书。,士。,得。,撒上,撒下,王上,王下,代上,代下,拉。,尼。,斯。,"
    "伯。,诗。,箴。,传。,歌。,赛。,耶。,哀。,结。,但。,何。,珥。,摩。,俄。,拿。,弥。,鸿。,"
    "哈。,番。,该。,亚。,玛。,太。,可。,路。,约。,徒。,罗。,林前,林后,加。,弗。,腓。,西。,"
    "帖前,帖后,提前,提后,多。,门。,来。,雅。,彼前,彼后,约一,约二,约三,犹。,启。,";
constexpr char kDefaultBookNames[] =
    "创世记,出埃及记,利未记,民数记,申命记,约书亚记,士师记,路得记,撒母耳记上,撒母耳记下,"
    "列王纪上,列王纪下,历代志上,历代志下,以斯拉记,尼希米记,以斯帖记,约伯记,诗篇,箴言,传道书,"
    "雅歌,以赛亚书,耶利米书,耶利米哀歌,以西结书,但以理书,何西阿书,约珥书,阿摩司书,俄巴底亚书,"
    "约拿书,弥迦书,那鸿书,哈巴谷书,西番雅书,哈该书,撒迦利亚书,玛拉基书,马太福音,马可福音,"
    "路加福音,约翰福音,使徒行传,罗马书,哥林多前书,哥林多后书,加拉太书,以弗所书,腓立比书,"
    "歌罗西书,帖撒罗尼迦前书,帖撒罗尼迦后书,提摩太前书,提摩太后书,提多书,腓利门书,希伯来书,"
    "雅各书,彼得前书,彼得后书,约翰一书,约翰二书,约翰三书,犹大书,启示录";
constexpr char kDefaultTableWidth[] = "width=tdw";
constexpr char kParallelModules[] = "usr\\niv,usr\\nasb";
constexpr char kFullStop[] = "。";

struct Configuration {
    std::string bookNameText;        // 330 bytes
    std::vector<std::string> names;  // 66 display names
    std::string tableWidth;          // TABLETDWIDTH item 5, the zendri width placeholder
    std::vector<std::string> parallelNames;  // EQUATEFILE of the copied bible.ini
};

std::string MinimalBibleIni(const Configuration& config) {
    std::string ini = "[config]\r\n";
    ini += "TXTSYSPTH=sys\\\r\n";
    ini += "SYSKEY=corpa,tessaly,emendo,tidoran,oblix,amberly,rovask,zendri\r\n";
    ini += "CNAME=" + config.bookNameText + "\r\n";
    ini += "EQUATEFILE=" + std::string(kParallelModules) + "\r\n";
    ini += "SUBSTITUTE=0\r\n";
    ini += "CCNAME=";
    for (std::size_t i = 0; i < config.names.size(); ++i) {
        if (i > 0) ini += ',';
        ini += config.names[i];
    }
    ini += "\r\nTABLETDWIDTH=width=64,width=76,width=88,width=104,width=124," + config.tableWidth +
           "\r\n";
    return ini;
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.emplace_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

// Reads the sample configuration when there is one: the book tables and the width placeholder
// come from it, and bible.ini is copied with "EQUATEFILE=" naming the parallel translations
// that this installation holds.
Configuration LoadConfiguration(const Options& options, Installation& installation) {
    Configuration config;
    config.bookNameText = kDefaultBookNameText;
    config.names = SplitList(kDefaultBookNames);
    config.tableWidth = kDefaultTableWidth;

    std::optional<std::string> raw;
    if (!options.configSource.empty()) {
        raw = platform::ReadWholeFile(options.configSource + "/bible.ini");
    }
    if (raw) {
        const GbString text = ApplyBlankRule(*raw);
        const GbString bookNameText = ReadConfigValue(text, "CNAME=");
        if (bookNameText.Length() == kBookCount * 5) config.bookNameText = bookNameText.str();
        const GbString names = ReadConfigValue(text, "CCNAME=");
        std::vector<std::string> nameList = SplitList(names.view());
        if (nameList.size() >= static_cast<std::size_t>(kBookCount)) {
            nameList.resize(kBookCount);
            config.names = nameList;
        }
        const std::vector<std::string> widths = SplitList(ReadConfigValue(text, "TABLETDWIDTH=").view());
        if (widths.size() > 5 && !widths[5].empty()) config.tableWidth = widths[5];
        config.parallelNames = SplitList(ReadConfigValue(text, "EQUATEFILE=").view());
        if (options.modulesOnly) return config;

        GbString ini(*raw);
        if (!ReplaceConfigValue(ini, "EQUATEFILE=", kParallelModules)) {
            if (!ini.IsEmpty() && ini.Slice(ini.Length() - 2) != kCrLf) ini.Append(kCrLf);
            ini.Append("EQUATEFILE=");
            ini.Append(kParallelModules);
            ini.Append(kCrLf);
        }
        installation.bibleIni = ini.str();
        installation.bibleIniCopied = true;
        for (const char* name : {"bible.css", "quillets.js"}) {
            if (auto bytes = platform::ReadWholeFile(options.configSource + "/" + name)) {
                installation.extraFiles.emplace_back(name, std::move(*bytes));
            }
        }
    } else if (!options.modulesOnly) {
        installation.bibleIni = MinimalBibleIni(config);
    }
    return config;
}

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

std::string ChapterKey(int book, int chapter) {
    std::string key;
    AppendPadded(key, book * 1000 + chapter, 5);
    return key;
}

std::string DayKey(int day) {
    std::string key;
    AppendPadded(key, day, 3);
    return key;
}

// Where a sentence's closing punctuation starts: before "。" or before "。”".
std::size_t BeforeFinalPunctuation(const std::string& sentence) {
    if (sentence.size() >= 4 && sentence.compare(sentence.size() - 2, 2, "”") == 0) {
        return sentence.size() - 4;
    }
    return sentence.size() >= 2 ? sentence.size() - 2 : 0;
}

bool IsCjkLead(unsigned char c) { return c >= 0x81 && (c < 0xA1 || c > 0xA9); }

Module NewModule(const char* name, const char* fileName, const char* marker, bool lineFlag) {
    Module module;
    module.name = name;
    module.fileName = fileName;
    module.marker = marker;
    module.lineFlag = lineFlag;
    return module;
}

// Opens a record whose text starts at the current end of the module.
void BeginRecord(Module& module, std::string key) {
    module.records.push_back(Record{std::move(key), module.text.size(), 0});
}
// Closes the last record at the current end, without the line break that ends it.
void EndRecord(Module& module, std::size_t lineEndBytes) {
    Record& record = module.records.back();
    record.length = module.text.size() - lineEndBytes - record.begin;
}

// --- the chain-reference Bible, the main text and the text-fix notes -------------------------

// A mark in a verse: text inserted at a byte position of the verse's plain text.
struct Insertion {
    std::size_t at;
    std::string text;
};

class ChainWriter {
public:
    ChainWriter(const Options& options, const Configuration& config, const References& refs,
                Module& tessaly, Module& corpa, Module& emendo)
        : random_(Random::Stream(options.seed, kSaltTessaly)),
          noteRandom_(Random::Stream(options.seed, kSaltEmendo)),
          chinese_(random_, options.traditionalPerMille),
          noteChinese_(noteRandom_, 0),
          config_(config),
          refs_(refs),
          tessaly_(tessaly),
          corpa_(corpa),
          emendo_(emendo),
          writeCorpa_(options.mainText),
          options_(options) {}

    void Run() {
        tessaly_.text.reserve(6u << 20);
        if (writeCorpa_) corpa_.text.reserve(3u << 20);
        for (int book = 1; book <= kBookCount; ++book) {
            const int chapters = options_.KeptChapters(book);
            if (chapters == 0) continue;
            Introduction(book);
            for (int chapter = 1; chapter <= chapters; ++chapter) Chapter(book, chapter);
        }
        WriteNotes();
    }

private:
    // The book's introduction: a record with a special key ("0100000"), not a chapter.
    void Introduction(int book) {
        std::string key;
        AppendPadded(key, book, 2);
        key += "00000";
        std::string& out = tessaly_.text;
        out += key;
        out += ":=\r\n";
        BeginRecord(tessaly_, key);
        out += "'d'2'e";
        out += config_.names[static_cast<std::size_t>(book - 1)];
        out += "'f_\r\n";
        const int paragraphs = random_.Between(3, 6);
        for (int p = 0; p < paragraphs; ++p) {
            if (p > 0) out += "'2";
            out += kIndent;
            chinese_.Verse(out, random_.Between(60, 160));
            if (random_.Chance(500)) {
                out += "'0[";
                out += refs_.Verse(random_);
                out += "]'1";
            }
            out += kCrLf;
        }
        out += "'4\r\n";
        EndRecord(tessaly_, 2);
    }

    void Chapter(int book, int chapter) {
        const std::string key = ChapterKey(book, chapter);
        std::string& out = tessaly_.text;
        out += key;
        out += ":=\r\n";
        BeginRecord(tessaly_, key);
        std::string plain;
        if (writeCorpa_) {
            BeginRecord(corpa_, key);
            plain = key;
            plain += '=';
        }
        footnote_ = 0;
        const bool psalm = book == 19;
        const bool poetry = book >= 18 && book <= 22;
        const int verses = VerseCount(book, chapter);
        int nextHeading = 1;
        for (int verse = 1; verse <= verses; ++verse) {
            out += verse == 1 ? "'3" : "'2";
            if (verse == 1 && psalm) {
                // The superscription of a psalm: its number in bold, its title in small print.
                std::string title = "第";
                AppendNumber(title, chapter);
                title += "篇";
                const std::string small = "（" + chinese_.Title() + "）";
                out += "'5" + title + "'6'8" + small + "'9_\r\n";
                plain += title + small;
            }
            if (verse == nextHeading) {
                if (verse > 1 && random_.Chance(30)) out += "<hr>";
                out += "'e";
                out += chinese_.Title();
                out += "'f_\r\n";
                nextHeading = verse + random_.Between(5, 16);
            }
            out += kIndent;
            const bool parenthetical = verse > 1 && random_.Chance(5);
            if (parenthetical) {
                out += '(';
                plain += '(';
            }
            out += '$';
            AppendNumber(out, verse);
            plain += '#';
            AppendNumber(plain, verse);
            VerseText(poetry, out, plain);
            if (parenthetical) {
                out += ')';
                plain += ')';
            }
            ReferenceColumn(book, chapter, verse == 1, out);
            out += kCrLf;
        }
        out += "'4\r\n";
        EndRecord(tessaly_, 2);
        if (writeCorpa_) {
            corpa_.text += plain;
            corpa_.text += '\n';
            EndRecord(corpa_, 1);
        }
    }

    // One verse: the text with its marks for tessaly, the same text without them for corpa.
    void VerseText(bool poetry, std::string& out, std::string& plain) {
        std::string text;
        words_.clear();
        const int target = random_.Between(6, 34);
        if (poetry) {
            // Poetry: two lines, the second on a new line of its own.
            chinese_.Sentence(text, &words_);
            text += "_　　";
            chinese_.Sentence(text, &words_);
        } else {
            chinese_.Verse(text, target, &words_);
        }
        if (random_.Chance(20)) {
            // A cross reference written in the verse itself.
            const std::size_t at = BeforeFinalPunctuation(text);
            text.insert(at, "(" + refs_.Verse(random_) + ")");
            words_.erase(std::remove_if(words_.begin(), words_.end(),
                                        [at](const WordSpan& w) { return w.end > at; }),
                         words_.end());
        }

        insertions_.clear();
        used_.clear();
        pendingNotes_.clear();
        if (random_.Chance(260)) PhraseMark(text, '@', '#');
        if (random_.Chance(130)) PhraseMark(text, '%', '^');
        if (random_.Chance(50)) {
            if (const WordSpan* span = FreeSpan()) {
                insertions_.push_back(Insertion{span->begin, "\\"});
                insertions_.push_back(Insertion{span->end, "|"});
                used_.push_back(*span);
            }
        }
        if (random_.Chance(250)) {
            if (const WordSpan* span = FreeSpan()) {
                used_.push_back(*span);
                std::string mark = "`";
                AppendNumber(mark, ++footnote_);
                insertions_.push_back(Insertion{span->end, mark});
                pendingNotes_.push_back(footnote_);
            }
        }
        // The plain text (poetry line break removed, as the main text derivation removes
        // "_" and the indent).
        std::string plainText = text;
        for (std::size_t at; (at = plainText.find("_　　")) != std::string::npos;) plainText.erase(at, 5);
        plain += plainText;

        std::stable_sort(insertions_.begin(), insertions_.end(),
                         [](const Insertion& a, const Insertion& b) { return a.at > b.at; });
        for (const Insertion& insertion : insertions_) text.insert(insertion.at, insertion.text);
        out += text;
    }

    // Encloses a word (and up to three characters after it) in a pair of text-fix marks, and
    // keeps the phrase for the text-fix notes.
    void PhraseMark(const std::string& text, char open, char close) {
        const WordSpan* span = FreeSpan();
        if (span == nullptr) return;
        std::size_t end = span->end;
        int extra = random_.Below(4);
        while (extra-- > 0 && end + 1 < text.size() &&
               IsCjkLead(static_cast<unsigned char>(text[end])) && end + 2 - span->begin <= 20 &&
               !Overlaps(WordSpan{span->begin, end + 2})) {
            end += 2;
        }
        std::string key(1, open);
        key.append(text, span->begin, end - span->begin);
        key += close;
        const TextKeySet::Result result = noteKeys_.Add(key);
        if (result == TextKeySet::Result::Conflict) return;
        if (result == TextKeySet::Result::Added) noteOrder_.push_back(key);
        insertions_.push_back(Insertion{span->begin, std::string(1, open)});
        insertions_.push_back(Insertion{end, std::string(1, close)});
        used_.push_back(WordSpan{span->begin, end});
    }

    bool Overlaps(const WordSpan& span) const {
        for (const WordSpan& u : used_) {
            if (span.begin <= u.end && u.begin <= span.end) return true;
        }
        return false;
    }

    const WordSpan* FreeSpan() {
        if (words_.empty()) return nullptr;
        const std::size_t first = static_cast<std::size_t>(random_.Below(static_cast<int>(words_.size())));
        for (std::size_t i = 0; i < words_.size(); ++i) {
            const WordSpan& span = words_[(first + i) % words_.size()];
            if (!Overlaps(span)) return &span;
        }
        return nullptr;
    }

    // The reference column of a verse row: chain references in brackets, then the notes of the
    // verse's footnote marks. The first row sets the column's width.
    void ReferenceColumn(int book, int chapter, bool first, std::string& out) {
        std::string column;
        const int roll = random_.Below(100);
        const int count = roll < 25 ? 0 : roll < 60 ? 1 : roll < 85 ? 2 : roll < 95 ? 3 : 4;
        int lastBook = 0;
        for (int i = 0; i < count; ++i) {
            column += '[';
            if (lastBook != 0 && random_.Chance(200)) {
                column += refs_.Continuation(random_, lastBook);
            } else {
                lastBook = refs_.PickBook(random_);
                column += refs_.Verse(random_, lastBook, random_.Between(1, refs_.ChapterCount(lastBook)));
            }
            column += ']';
        }
        for (int note : pendingNotes_) {
            column += "_~";
            AppendNumber(column, note);
            switch (random_.Below(4)) {
            case 0:
                column += book == 19 ? "[本篇" : "[本章";
                AppendNumber(column, random_.Between(1, VerseCount(book, chapter)));
                column += ']';
                break;
            case 1: column += "原文作" + chinese_.Word(); break;
            case 2: column += '[' + refs_.Verse(random_) + ']'; break;
            default: column += "或译" + chinese_.Word() + "；[" + refs_.Verse(random_) + ']'; break;
            }
        }
        if (first) {
            out += "'a";
            AppendNumber(out, random_.Between(24, 32));
            out += "'7";
        } else if (column.empty()) {
            return;
        } else {
            out += "'0";
        }
        out += column;
        out += "'1";
    }

    // The text-fix notes: one line per marked phrase, in the order the phrases first occur.
    void WriteNotes() {
        std::string& out = emendo_.text;
        out.reserve(noteOrder_.size() * 64);
        for (const std::string& key : noteOrder_) {
            BeginRecord(emendo_, key);
            out += key;
            out += '=';
            switch (noteRandom_.Below(4)) {
            case 0: out += "原文作“" + noteChinese_.Word() + "”。"; break;
            case 1:
                out += "或译作“" + noteChinese_.Word() + "”。参看(" + refs_.Verse(noteRandom_) + ")。";
                break;
            case 2: out += "此处指" + noteChinese_.Word() + "，见[" + refs_.Verse(noteRandom_) + "]。"; break;
            default: noteChinese_.Sentence(out); break;
            }
            out += kCrLf;
            EndRecord(emendo_, 2);
        }
    }

    Random random_;
    Random noteRandom_;
    ChineseWriter chinese_;
    ChineseWriter noteChinese_;
    const Configuration& config_;
    const References& refs_;
    Module& tessaly_;
    Module& corpa_;
    Module& emendo_;
    bool writeCorpa_;
    const Options& options_;

    int footnote_ = 0;
    std::vector<WordSpan> words_;
    std::vector<WordSpan> used_;
    std::vector<Insertion> insertions_;
    std::vector<int> pendingNotes_;
    TextKeySet noteKeys_;
    std::vector<std::string> noteOrder_;
};

// --- study texts -----------------------------------------------------------------------------

// A paragraph of study prose: sentences with references in parentheses and brackets, and now
// and then a link into the dictionary or a bold word.
void Prose(Random& random, ChineseWriter& chinese, const References& refs,
           const std::vector<std::string>* dictionaryKeys, int targetChars, std::string& out) {
    const std::size_t start = out.size();
    while (out.size() - start < static_cast<std::size_t>(targetChars) * 2) {
        chinese.Sentence(out);
        const int roll = random.Below(100);
        if (roll < 18) {
            // "(约3:16;4:1-3;罗5:8)" before the final punctuation.
            std::string group = "(" + refs.Verse(random);
            if (random.Chance(300)) group += ";" + refs.Verse(random);
            if (random.Chance(150)) group += ";" + refs.Chapter(random);
            group += ")";
            out.insert(BeforeFinalPunctuation(out), group);
        } else if (roll < 26) {
            out.insert(BeforeFinalPunctuation(out), "[" + refs.Verse(random) + "]");
        } else if (roll < 30 && dictionaryKeys != nullptr && !dictionaryKeys->empty()) {
            const std::string& key =
                (*dictionaryKeys)[static_cast<std::size_t>(random.Below(static_cast<int>(dictionaryKeys->size())))];
            out += "参看<a href=rovask#" + key + ">" + key + "</a>。";
        } else if (roll < 33) {
            out += "@" + chinese.Word() + "#";
        }
    }
}

void WriteDevotional(const Options& options, const References& refs,
                     const std::vector<std::string>& dictionaryKeys, Module& amberly) {
    Random random = Random::Stream(options.seed, kSaltAmberly);
    ChineseWriter chinese(random, options.traditionalPerMille);
    std::string& out = amberly.text;
    out += "每日灵修　共352篇\r\n";  // before the first record: belongs to none
    const int days = std::min(kDevotionalDays, options.KeptPlanDays());
    for (int day = 1; day <= days; ++day) {
        BeginRecord(amberly, DayKey(day));
        out += "<h1>第";
        AppendNumber(out, day);
        out += "日　" + chinese.Title() + "</h1>\r\n";
        out += "<p>经文：[" + refs.Verse(random) + "]</p>\r\n";
        const int paragraphs = random.Between(4, 7);
        for (int p = 0; p < paragraphs; ++p) {
            out += kIndent;
            Prose(random, chinese, refs, &dictionaryKeys, random.Between(80, 260), out);
            out += kCrLf;
        }
        if (day % 40 == 0) {
            out += "来稿请寄<a href=mailto:devotion@example.org>devotion@example.org</a>\r\n";
        }
        EndRecord(amberly, 2);
    }
}

std::vector<std::string> DictionaryKeys(const Options& options, Random& random,
                                        ChineseWriter& chinese) {
    TextKeySet set;
    std::vector<std::string> keys;
    // A shortened plan keeps the dictionary in proportion (at least a handful of entries).
    const int entries = std::max(8, kDictionaryEntries * options.KeptPlanDays() / kPlanDays);
    while (static_cast<int>(keys.size()) < entries) {
        std::string key;
        switch (random.Below(3)) {
        case 0: key = chinese.Word(); break;
        case 1: key = chinese.Word() + chinese.Word(); break;
        default: key = chinese.Title(); break;
        }
        if (key.size() > 24) continue;
        if (set.Add(key) == TextKeySet::Result::Added) keys.push_back(key);
    }
    return keys;
}

void WriteDictionary(const References& refs, const std::vector<std::string>& keys,
                     Random& random, ChineseWriter& chinese, Module& rovask) {
    std::string& out = rovask.text;
    out += "圣经辞典\r\n";
    // The preface has no key of its own: it is record 001 by its number.
    BeginRecord(rovask, "001");
    out += "<h1>序言</h1>\r\n";
    out += kIndent;
    Prose(random, chinese, refs, nullptr, 200, out);
    out += kCrLf;
    EndRecord(rovask, 2);
    for (const std::string& key : keys) {
        BeginRecord(rovask, key);
        out += "<h1><key:" + key + ">" + key + "</h1>\r\n";
        const int paragraphs = random.Between(1, 4);
        for (int p = 0; p < paragraphs; ++p) {
            if (p > 0 && random.Chance(200)) out += "<h2>" + chinese.Title() + "</h2>\r\n";
            out += kIndent;
            Prose(random, chinese, refs, &keys, random.Between(40, 200), out);
            out += kCrLf;
        }
        EndRecord(rovask, 2);
    }
}

// "创世记1-3章": the chapters of a plan day, by book.
std::string ReadingTitle(const Configuration& config, const std::vector<ChapterRef>& reading,
                         bool abbreviated, const References& refs) {
    std::string title;
    std::size_t i = 0;
    while (i < reading.size()) {
        std::size_t j = i;
        while (j + 1 < reading.size() && reading[j + 1].book == reading[i].book) ++j;
        if (!title.empty()) title += "、";
        title += abbreviated ? refs.Abbreviation(reading[i].book)
                             : config.names[static_cast<std::size_t>(reading[i].book - 1)];
        AppendNumber(title, reading[i].chapter);
        if (j > i) {
            title += '-';
            AppendNumber(title, reading[j].chapter);
        }
        if (!abbreviated) title += reading[i].book == 19 ? "篇" : "章";
        i = j + 1;
    }
    return title;
}

void WriteWheel(const Options& options, const Configuration& config, const References& refs,
                Module& tidoran) {
    Random random = Random::Stream(options.seed, kSaltTidoran);
    ChineseWriter chinese(random, 0);
    static const char* const kWeekdays[] = {"一", "二", "三", "四", "五", "六"};
    std::string& out = tidoran.text;
    for (int day = 1; day <= options.KeptPlanDays(); ++day) {
        const std::vector<ChapterRef> reading = PlanReading(day);
        BeginRecord(tidoran, DayKey(day));
        // f0 day, f1 short reading, f2 week, f3 weekday, f4 percentage read, f5 days left
        out += "第";
        AppendNumber(out, day);
        out += "日," + ReadingTitle(config, reading, true, refs) + ",第";
        AppendNumber(out, (day - 1) / 6 + 1);
        out += ",";
        out += kWeekdays[(day - 1) % 6];
        out += ",";
        const int permille = day * 1000 / kPlanDays;
        AppendNumber(out, permille / 10);
        out += '.';
        AppendNumber(out, permille % 10);
        out += ",";
        AppendNumber(out, kPlanDays - day);
        out += "日),";
        // f6 reading, f7 memory verse, f8 key sentence, f9 psalm, f10 proverbs, f11 hymn,
        // f12 prayer, f13 theme, f14 notes (with a line break)
        out += ReadingTitle(config, reading, false, refs) + ",";
        const ChapterRef memory = reading.empty() ? ChapterRef{1, 1} : reading.front();
        const int book = refs.Referable(memory.book) ? memory.book : refs.PickBook(random);
        const int chapter = book == memory.book ? memory.chapter : 1;
        out += refs.Verse(random, book, chapter, false);
        out += ",";
        chinese.Sentence(out);
        out += ",诗";
        AppendNumber(out, (day - 1) % 150 + 1);
        out += "篇,箴";
        AppendNumber(out, (day - 1) % 31 + 1);
        out += "章,诗歌第";
        AppendNumber(out, random.Between(1, 780));
        out += "首,为" + chinese.Word() + "祷告," + chinese.Title() + ",晨读_" + chinese.Title();
        out += kCrLf;
        EndRecord(tidoran, 2);
    }
}

void WriteOutline(const Options& options, const Configuration& config, const References& refs,
                  Module& oblix) {
    Random random = Random::Stream(options.seed, kSaltOblix);
    ChineseWriter chinese(random, 0);
    std::string& out = oblix.text;
    for (int day = 1; day <= options.KeptPlanDays(); ++day) {
        const std::vector<ChapterRef> reading = PlanReading(day);
        BeginRecord(oblix, DayKey(day));
        out += "第";
        AppendNumber(out, day);
        out += "日:=" + ReadingTitle(config, reading, false, refs);
        for (const ChapterRef& at : reading) {
            if (!refs.Referable(at.book)) continue;
            const std::string name = refs.Abbreviation(at.book);
            const int verses = VerseCount(at.book, at.chapter);
            out += "<br><h1>【" + name;
            AppendNumber(out, at.chapter);
            out += "】" + chinese.Title() + "</h1>";
            int verse = 1;
            bool section = false;
            while (verse <= verses) {
                const int last = std::min(verses, verse + random.Between(2, 9));
                if (!section && verse > 1 && random.Chance(250)) {
                    // A section heading with its own verse: the entries after it use it.
                    out += "<br>【" + name;
                    AppendNumber(out, at.chapter);
                    out += ':';
                    AppendNumber(out, verse);
                    out += "】" + chinese.Title() + "</h2>";
                    section = true;
                }
                out += "<br>　　";
                if (section) out += "※";
                out += "【" + chinese.Title() + "】";
                if (random.Chance(40)) {
                    out += "[]";  // verses still to be given
                } else {
                    AppendNumber(out, verse);
                    if (last > verse) {
                        out += random.Chance(200) ? '/' : '-';
                        AppendNumber(out, last);
                    }
                }
                verse = last + 1;
            }
        }
        out += kCrLf;
        EndRecord(oblix, 2);
    }
}

void WriteStudyNotes(const Options& options, const Configuration& config, const References& refs,
                     const std::vector<std::string>& dictionaryKeys, Module& zendri) {
    Random random = Random::Stream(options.seed, kSaltZendri);
    ChineseWriter chinese(random, options.traditionalPerMille);
    static const char* const kNumerals[] = {"一", "二", "三", "四", "五", "六", "七", "八"};
    std::string& out = zendri.text;
    for (int day = 1; day <= options.KeptPlanDays(); ++day) {
        const std::string key = DayKey(day);
        out += key;
        out += ":=\r\n";
        BeginRecord(zendri, key);
        out += "<h2>第";
        AppendNumber(out, day);
        out += "日　" + ReadingTitle(config, PlanReading(day), false, refs) + "</h2>\r\n";
        out += "<table class=tb>\r\n";
        const int questions = random.Between(3, 6);
        for (int q = 0; q < questions; ++q) {
            out += "<tr><td class=td1 " + config.tableWidth + ">";
            out += kNumerals[q];
            out += "、</td><td class=td2>";
            std::string question;
            chinese.Sentence(question);
            if (question.compare(question.size() - 2, 2, "”") == 0) {
                question += "？";
            } else {
                question.replace(question.size() - 2, 2, "？");
            }
            out += question + "(" + refs.Verse(random) + ")</td></tr>\r\n";
        }
        out += "</table>\r\n";
        const int paragraphs = random.Between(2, 4);
        for (int p = 0; p < paragraphs; ++p) {
            out += kIndent;
            Prose(random, chinese, refs, &dictionaryKeys, random.Between(100, 300), out);
            out += kCrLf;
        }
        EndRecord(zendri, 2);
    }
}

// A parallel translation as the import writes it: "BBCCC:=" LF, then "$" verse CR LF.
void WriteTranslation(const Options& options, std::uint64_t salt, bool formal, Module& module) {
    Random random = Random::Stream(options.seed, salt);
    EnglishWriter english(random, formal);
    std::string& out = module.text;
    out.reserve(5u << 20);
    for (int index = 0; index < kTotalChapters; ++index) {
        const ChapterRef at = ChapterAt(index);
        if (at.chapter > options.KeptChapters(at.book)) continue;
        const std::string key = ChapterKey(at.book, at.chapter);
        out += key;
        out += ":=\n";
        BeginRecord(module, key);
        const int verses = VerseCount(at.book, at.chapter);
        for (int verse = 1; verse <= verses; ++verse) {
            out += '$';
            AppendNumber(out, verse);
            english.Verse(out, random.Between(40, 150));
            out += kCrLf;
        }
        EndRecord(module, 2);
    }
}

}  // namespace

// --- public -------------------------------------------------------------------------------------

int Options::KeptChapters(int book) const {
    if (book < 1 || book > kBookCount) return 0;
    if (!books.empty() && std::find(books.begin(), books.end(), book) == books.end()) return 0;
    const int all = ChapterCount(book);
    return chaptersPerBook > 0 ? std::min(all, chaptersPerBook) : all;
}

int Options::KeptPlanDays() const { return planDays > 0 ? std::min(planDays, kPlanDays) : kPlanDays; }

const Record* Module::FindRecord(std::string_view key) const {
    for (const Record& record : records) {
        if (record.key == key) return &record;
    }
    return nullptr;
}

const Module* Installation::FindModule(std::string_view name) const {
    for (const Module& module : modules) {
        if (module.name == name) return &module;
    }
    return nullptr;
}

std::size_t Installation::TotalBytes() const {
    std::size_t total = bibleIni.size();
    for (const auto& file : extraFiles) total += file.second.size();
    for (const Module& module : modules) total += module.text.size();
    return total;
}

Installation Generate(const Options& options) {
    Installation installation;
    const Configuration config = LoadConfiguration(options, installation);
    const References refs(config.bookNameText, options);

    // In the order of the set-up tool's module table.
    Module corpa = NewModule("sys\\Corpa", "sys/corpa.txt", "=", true);
    Module tessaly = NewModule("sys\\Tessaly", "sys/tessaly.txt", ":=", false);
    Module emendo = NewModule("sys\\emendo", "sys/emendo.txt", "=", true);
    Module tidoran = NewModule("sys\\tidoran", "sys/tidoran.txt", "", true);
    Module oblix = NewModule("sys\\oblix", "sys/oblix.txt", "", true);
    Module amberly = NewModule("sys\\amberly", "sys/amberly.txt", "<h1>", true);
    Module rovask = NewModule("sys\\rovask", "sys/rovask.txt", "<h1>", true);
    Module zendri = NewModule("sys\\zendri", "sys/zendri.txt", ":=", false);
    Module niv = NewModule("usr\\niv", "usr/niv.txt", ":=", false);
    Module nasb = NewModule("usr\\nasb", "usr/nasb.txt", ":=", false);
    if (options.modulesOnly) {
        // The translations stand in for the ones the configuration names ("usr\\kjv" is
        // written to "usr/kjv.txt").
        Module* parallel[] = {&niv, &nasb};
        for (std::size_t i = 0; i < 2 && i < config.parallelNames.size(); ++i) {
            std::string fileName = config.parallelNames[i];
            std::replace(fileName.begin(), fileName.end(), '\\', '/');
            parallel[i]->name = config.parallelNames[i];
            parallel[i]->fileName = fileName + ".txt";
        }
    }

    if (!refs.Empty()) {
        ChainWriter(options, config, refs, tessaly, corpa, emendo).Run();
        Random dictionaryRandom = Random::Stream(options.seed, kSaltRovask);
        ChineseWriter dictionaryChinese(dictionaryRandom, options.traditionalPerMille);
        const std::vector<std::string> keys = DictionaryKeys(options, dictionaryRandom, dictionaryChinese);
        WriteWheel(options, config, refs, tidoran);
        WriteOutline(options, config, refs, oblix);
        WriteDevotional(options, refs, keys, amberly);
        WriteDictionary(refs, keys, dictionaryRandom, dictionaryChinese, rovask);
        WriteStudyNotes(options, config, refs, keys, zendri);
    }
    WriteTranslation(options, kSaltNiv, false, niv);
    WriteTranslation(options, kSaltNasb, true, nasb);

    if (options.mainText) installation.modules.push_back(std::move(corpa));
    for (Module* module : {&tessaly, &emendo, &tidoran, &oblix, &amberly, &rovask, &zendri, &niv, &nasb}) {
        installation.modules.push_back(std::move(*module));
    }
    return installation;
}

std::string ConfigDirectory(const std::string& outDir) {
    std::string dir = outDir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir + "cfg/";
}

bool Write(const Installation& installation, const std::string& outDir, std::string* error) {
    const std::string cfg = ConfigDirectory(outDir);
    auto fail = [error](const std::string& message) {
        if (error != nullptr) *error = message;
        return false;
    };
    for (const char* sub : {"sys", "usr"}) {
        if (!platform::MakeDirectories(cfg + sub)) return fail("cannot create " + cfg + sub);
    }
    if (!installation.bibleIni.empty() &&
        !platform::WriteWholeFile(cfg + "bible.ini", installation.bibleIni)) {
        return fail("cannot write " + cfg + "bible.ini");
    }
    for (const auto& file : installation.extraFiles) {
        if (!platform::WriteWholeFile(cfg + file.first, file.second)) {
            return fail("cannot write " + cfg + file.first);
        }
    }
    for (const Module& module : installation.modules) {
        const std::string path = cfg + module.fileName;
        const std::string index = path.substr(0, path.size() - 4) + ".inx";
        if (platform::FileExists(index)) {
            platform::SetReadOnly(index, false);
            if (!platform::RemoveFile(index)) return fail("cannot remove the old index " + index);
        }
        if (!platform::WriteWholeFile(path, module.text)) return fail("cannot write " + path);
    }
    return true;
}

}  // namespace quillax::synth
