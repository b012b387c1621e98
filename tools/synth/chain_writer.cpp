// The chain-reference Bible (sys/tessaly.txt), the main text derived from it (sys/corpa.txt)
// and the text-fix notes of the phrases it marks (sys/emendo.txt).
#include <algorithm>
#include <string>
#include <vector>

#include "tools/synth/installation_writers.h"

namespace quillax::synth::detail {
namespace {

bool IsCjkLead(unsigned char c) { return c >= 0x81 && (c < 0xA1 || c > 0xA9); }

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

}  // namespace

void WriteChainBible(const Options& options, const Configuration& config, const References& refs,
                     Module& tessaly, Module& corpa, Module& emendo) {
    ChainWriter(options, config, refs, tessaly, corpa, emendo).Run();
}

}  // namespace quillax::synth::detail
