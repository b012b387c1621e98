#include "tools/synth/bible_shape.h"

#include <array>

#include "textlib/chapter_keys.h"
#include "tools/synth/synth_random.h"

namespace quillax::synth {
namespace {

// Verses per book, in book order (the usual versification of the Protestant canon).
constexpr std::array<int, kBookCount> kBookVerses = {
    1533, 1213, 859,  1288, 959,  658, 618, 85,  810, 695, 816, 719, 942, 822,
    280,  406,  167,  1070, 2461, 915, 222, 117, 1292, 1364, 154, 1273, 357, 197,
    73,   146,  21,   48,   105,  47,  56,  53,  38,  211, 55,  1071, 678, 1151,
    879,  1007, 433,  437,  257,  149, 155, 104, 95,  89,  47,  113,  83,  46,
    25,   303,  108,  105,  61,   105, 13,  14,  25,  404};

constexpr int kMinVerses = 3;

struct Table {
    // counts[book - 1][chapter - 1]
    std::array<std::vector<int>, kBookCount> counts;
    std::vector<ChapterRef> chapters;
};

// Spreads a book's verses over its chapters: each chapter gets a share by a weight between
// 60 and 140, the rounding rest is handed out one verse at a time.
std::vector<int> SpreadBook(int book) {
    const int chapters = ChapterCount(book);
    std::vector<int> counts(static_cast<std::size_t>(chapters), 0);
    std::vector<bool> pinned(counts.size(), false);
    int total = kBookVerses[static_cast<std::size_t>(book - 1)];
    if (book == 19) {  // Psalms: the longest and the shortest chapter of the Bible
        counts[116] = 2;
        counts[118] = 176;
        pinned[116] = pinned[118] = true;
        total -= 178;
    }
    Random random = Random::Stream(0x5EED5EEDull, static_cast<std::uint64_t>(book));
    std::vector<long long> weights(counts.size(), 0);
    long long weightSum = 0;
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (pinned[c]) continue;
        weights[c] = 60 + random.Below(81);
        weightSum += weights[c];
    }
    int given = 0;
    for (std::size_t c = 0; c < counts.size(); ++c) {
        if (pinned[c]) continue;
        counts[c] = static_cast<int>(total * weights[c] / weightSum);
        if (counts[c] < kMinVerses) counts[c] = kMinVerses;
        given += counts[c];
    }
    // Hand out (or take back) the rest round-robin.
    std::size_t c = 0;
    while (given != total) {
        if (!pinned[c]) {
            if (given < total) {
                ++counts[c];
                ++given;
            } else if (counts[c] > kMinVerses) {
                --counts[c];
                --given;
            }
        }
        c = (c + 1) % counts.size();
    }
    return counts;
}

const Table& TheTable() {
    static const Table table = [] {
        Table t;
        for (int book = 1; book <= kBookCount; ++book) {
            t.counts[static_cast<std::size_t>(book - 1)] = SpreadBook(book);
            for (int chapter = 1; chapter <= ChapterCount(book); ++chapter) {
                t.chapters.push_back(ChapterRef{book, chapter});
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

int VerseCount(int book, int chapter) {
    if (book < 1 || book > kBookCount || chapter < 1 || chapter > ChapterCount(book)) return 0;
    return TheTable().counts[static_cast<std::size_t>(book - 1)][static_cast<std::size_t>(chapter - 1)];
}

int BookVerseCount(int book) {
    if (book < 1 || book > kBookCount) return 0;
    return kBookVerses[static_cast<std::size_t>(book - 1)];
}

int TotalVerseCount() {
    int total = 0;
    for (int verses : kBookVerses) total += verses;
    return total;
}

ChapterRef ChapterAt(int index) {
    const auto& chapters = TheTable().chapters;
    if (index < 0 || index >= static_cast<int>(chapters.size())) return ChapterRef{};
    return chapters[static_cast<std::size_t>(index)];
}

std::vector<ChapterRef> PlanReading(int day) {
    std::vector<ChapterRef> reading;
    if (day < 1 || day > kPlanDays) return reading;
    const int first = (day - 1) * kTotalChapters / kPlanDays;
    const int last = day * kTotalChapters / kPlanDays;
    for (int i = first; i < last; ++i) reading.push_back(ChapterAt(i));
    return reading;
}

}  // namespace quillax::synth
