// The study prose and the modules written in it: the devotional (sys/amberly.txt) and the
// topical dictionary (sys/rovask.txt).
#include <algorithm>
#include <string>
#include <vector>

#include "tools/synth/installation_writers.h"

namespace quillax::synth::detail {

// Study prose: sentences with references in parentheses and brackets, and now and then a link
// into the dictionary or a bold word.
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

}  // namespace quillax::synth::detail
