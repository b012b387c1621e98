// The daily reading plan and the pages built on it: the reading calendar, the reading-wheel
// popup table and the links of a plan day.
//
// Two plans map calendar dates to plan days 1-478:
//  - the six-day plan (planMode 0) counts from 2000-02-16 and reads nothing on Sundays (plan
//    day 0);
//  - the daily plan (planMode non-zero) counts from 2004-02-01 and reads every day; its
//    calendar page adds rows of extra readings (Proverbs, Joshua, a companion book,
//    Deuteronomy, Isaiah 40-66 and Genesis 21-47) and the day's study-module links.
// The anchors are RenderState::sixDayPlanBase and RenderState::dailyPlanBase.
//
// All page texts are GBK; the words and labels come from the vocabulary (cmpStr).
#pragma once

#include <string_view>

#include "engine/state/render_state.h"
#include "textlib/date.h"
#include "textlib/gb_string.h"

namespace quillax {

// A plan has this many days; the plan day after the last is day 1 again.
constexpr int kPlanDays = 478;

// Plan day of a day number (Date::dayNumber) in the six-day plan counted from base: 0 on
// Sundays, else 1-478.
int SixDayPlanDay(long long dayNumber, const Date& base);
// Plan day of a day number in the daily plan counted from base: 1-478.
int DailyPlanDay(long long dayNumber, const Date& base);
// The plan day of a day number in the plan that state.host.planMode chooses.
int PlanDay(const RenderState& state, long long dayNumber);
// The plan day of state.host.calendarDate that its devotional and day pages show: in the
// six-day plan a Sunday counts as the Monday after it.
int CalendarReadingDay(const RenderState& state);

// The reading-wheel popup of a date: the plan day's record of the "tidoran" module (15 fields
// separated by ",") laid out as a table; cmpStr[24] when the module has no record for the day.
// A Sunday counts as the Monday after it.
GbString WheelTable(RenderState& state, const Date& date);

// The link of a calendar day: to its plan day, or a red "rest day" mark when it has none.
GbString DayLink(const RenderState& state, Date date, std::string_view label);
// Appends the link of one chapter: "<a href=" + BBCCC + cmpStr[67] + cmpStr[labelIndex] +
// chapter + cmpStr[4] + "</a> ".
void PlanLink(const RenderState& state, GbString& out, int book, int chapter, int labelIndex);
// Appends the links of a plan day's study modules: its outline (only in the daily plan while
// the calendar rows are built), its study notes and its devotional.
void DayModuleLinks(const RenderState& state, GbString& out, int day);

// The reading-calendar page of a date text ("yyyy-mm-dd", optionally after a "+"). A text that
// is not 10 characters long, or starts with "0", means today. Sets state.host.calendarDate and
// planDay. ReadingCalendar (pipeline.h) shows it.
GbString CalendarPage(RenderState& state, std::string_view dateText);

// Whether a page body (GBK, simplified) is a reading calendar: it holds the link of the
// calendar date, which starts with cmpStr[9].
bool IsCalendarPage(const RenderState& state, const GbString& body);

}  // namespace quillax
