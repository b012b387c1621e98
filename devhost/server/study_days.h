// The days an installation has study material for, so that the host page can lead a reader
// to them.
//
// The study modules are keyed by plan day (001-478): the reading wheel ("tidoran"), the
// study notes ("zendri"), the outline ("oblix") and the devotional ("amberly"). An installation
// may hold only some days (the sample holds six), so most calendar dates have nothing. This
// reads, once, which plan days each module has an entry for, and finds the calendar dates that
// fall on such days in either reading plan. A date's material is that of the day its day
// pages show: in the six-day plan a Sunday shows the Monday after it.
//
// Runs on the engine thread (it reads the modules through the engine's state).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/state/render_state.h"
#include "textlib/date.h"

namespace quillax::devhost {

// The study modules, in the order of StudyDay::has.
enum StudyModule { kStudyWheel = 0, kStudyNotes, kStudyOutline, kStudyDevotional, kStudyModuleCount };

// How far from a date the dates with material are looked for, in days: two rounds of the
// longer (six-day) plan.
constexpr int kStudyDaysSearchSpan = 1120;
// How many dates with material the host page lists on each side of a date.
constexpr int kStudyDaysListed = 6;

struct StudyDay {
    Date date;
    int planDay = 0;  // 0: a rest day of the six-day plan
    std::array<bool, kStudyModuleCount> has{};

    bool HasAny() const { return has[0] || has[1] || has[2] || has[3]; }
};

// The key that opens a day's page of a module, as the calendar's day links open it:
// "zendri#005", "oblix#005", "amberly#005" (the wheel has no page: empty).
std::string DayPageKey(StudyModule module, int planDay);

class StudyDays {
public:
    // Reads which plan days the modules of state's installation have.
    explicit StudyDays(RenderState& state);

    // The material of one date in a plan (daily: the daily plan, else the six-day plan).
    StudyDay Of(Date date, bool daily) const;

    // The dates with material nearest to `from`: up to `count` from it on (in date order) and up
    // to `count` before it (the nearest first), within kStudyDaysSearchSpan days either way.
    // Sundays of the six-day plan are left out (their material is the Monday's).
    void Around(Date from, bool daily, int count, std::vector<StudyDay>& after,
                std::vector<StudyDay>& before) const;

    // How many plan days have any material.
    int DayCount() const;

private:
    const RenderState& state_;
    // For plan days 0-478: whether each module has an entry.
    std::vector<std::array<bool, kStudyModuleCount>> days_;
};

}  // namespace quillax::devhost
