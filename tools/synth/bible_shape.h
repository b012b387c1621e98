// The shape of the synthetic Bible: verses per chapter and the reading plan.
//
// The verse counts are a fixed table (the same for every seed), so that every installation
// has the same keys and verse numbers: each book gets its usual total of verses, spread over
// its chapters with a plausible variation (31,102 verses in all; Psalm 119 has 176 verses and
// Psalm 117 has 2, the longest and the shortest chapter).
#pragma once

#include <vector>

namespace quillax::synth {

// Total number of chapters (1,189) and of plan days (478).
constexpr int kTotalChapters = 1189;
constexpr int kPlanDays = 478;

// Verses of a chapter; 0 for a book or chapter that does not exist.
int VerseCount(int book, int chapter);
// Verses of a whole book, and of the whole Bible.
int BookVerseCount(int book);
int TotalVerseCount();

// A chapter by its running number 0 .. kTotalChapters-1 in Bible order.
struct ChapterRef {
    int book = 0;
    int chapter = 0;
};
ChapterRef ChapterAt(int index);

// The chapters read on plan day 1 .. kPlanDays: the Bible read through in order, two or three
// chapters a day.
std::vector<ChapterRef> PlanReading(int day);

}  // namespace quillax::synth
