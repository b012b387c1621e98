#include "devhost/server/study_days.h"

#include "engine/pages/calendar.h"
#include "engine/pages/reference_links.h"

namespace quillax::devhost {

namespace {

// The module names, in the order of StudyModule.
constexpr const char* kModuleNames[kStudyModuleCount] = {"tidoran", "zendri", "oblix", "amberly"};

Date DaysLater(Date date, int days) {
    date.day += days;
    date.Format();
    return date;
}

}  // namespace

std::string DayPageKey(StudyModule module, int planDay) {
    if (module == kStudyWheel || module < 0 || module >= kStudyModuleCount) return {};
    GbString day;
    day.SetPadded(planDay, "000");
    return std::string(kModuleNames[module]) + "#" + day.str();
}

StudyDays::StudyDays(RenderState& state) : state_(state), days_(kPlanDays + 1) {
    GbString key;
    for (int day = 1; day <= kPlanDays; ++day) {
        key.SetPadded(day, "000");
        for (int module = 0; module < kStudyModuleCount; ++module) {
            days_[day][module] = !ReadModuleEntry(state, kModuleNames[module], key.view(), false).IsEmpty();
        }
    }
}

StudyDay StudyDays::Of(Date date, bool daily) const {
    date.Format();
    StudyDay result;
    result.date = date;
    // The day pages and the wheel of a six-day-plan Sunday are those of the Monday after it.
    const bool restDay = !daily && date.weekday == 0;
    const long long dayNumber = date.dayNumber + (restDay ? 1 : 0);
    result.planDay = daily ? DailyPlanDay(dayNumber, state_.dailyPlanBase)
                           : SixDayPlanDay(dayNumber, state_.sixDayPlanBase);
    if (result.planDay >= 1 && result.planDay <= kPlanDays) result.has = days_[result.planDay];
    return result;
}

void StudyDays::Around(Date from, bool daily, int count, std::vector<StudyDay>& after,
                       std::vector<StudyDay>& before) const {
    after.clear();
    before.clear();
    if (DayCount() == 0) return;
    from.Format();
    const auto wanted = [&](const StudyDay& day) {
        return day.HasAny() && (daily || day.date.weekday != 0);
    };
    for (int offset = 0; offset <= kStudyDaysSearchSpan && static_cast<int>(after.size()) < count; ++offset) {
        StudyDay day = Of(DaysLater(from, offset), daily);
        if (wanted(day)) after.push_back(std::move(day));
    }
    for (int offset = 1; offset <= kStudyDaysSearchSpan && static_cast<int>(before.size()) < count; ++offset) {
        StudyDay day = Of(DaysLater(from, -offset), daily);
        if (wanted(day)) before.push_back(std::move(day));
    }
}

int StudyDays::DayCount() const {
    int count = 0;
    for (int day = 1; day <= kPlanDays; ++day) {
        for (bool has : days_[day]) {
            if (has) {
                ++count;
                break;
            }
        }
    }
    return count;
}

}  // namespace quillax::devhost
