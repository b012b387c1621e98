// The modules of the plan days: the reading wheel (sys/tidoran.txt), the reading outline
// (sys/oblix.txt) and the study notes (sys/zendri.txt).
#include <string>
#include <vector>

#include "tools/synth/installation_writers.h"

namespace quillax::synth::detail {
namespace {

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

}  // namespace

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

}  // namespace quillax::synth::detail
