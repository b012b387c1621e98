#include "engine/pages/calendar.h"

#include "engine/pages/reference_links.h"
#include "engine/pages/study_pages.h"
#include "textlib/gb_list.h"
#include "textlib/text_helpers.h"
#include "textlib/vocabulary.h"

namespace quillax {

namespace {

// Truncating remainder of the plan formulas (the sign follows the dividend, as C++'s %).
long long Rem(long long a, long long b) { return a % b; }

GbString Padded(long long value, std::string_view zeroTemplate) {
    GbString text;
    text.SetPadded(static_cast<int>(value), zeroTemplate);
    return text;
}

// A copy of date moved by whole years, months and days, normalised.
Date Shifted(Date date, int years, int months, int days) {
    date.year += years;
    date.month += months;
    date.day += days;
    date.Format();
    return date;
}

// The two bytes of the book's abbreviation in CNAME ("创。" gives "创").
GbString BookAbbreviation(const RenderState& state, int book) {
    if (book < 1 || book > 66) return GbString();
    return GbString(state.bookNameText.Slice((book - 1) * 5, 2));
}

// Proverbs (book 20) or Deuteronomy (book 5): the chapter of the day of the month; in the last
// days of the month two chapters a day, so that the book is read through by the month's end.
void MonthBookLinks(const RenderState& state, GbString& out, int book, int daysInMonth,
                    int dayOfMonth, int spread, int label, int extraLabel) {
    int chapter = dayOfMonth;
    int labelIndex = label;
    if (chapter >= 2 * daysInMonth - spread) {
        chapter = 2 * chapter - 2 * daysInMonth + spread;
        PlanLink(state, out, book, chapter, label);
        ++chapter;
        labelIndex = extraLabel;
    }
    PlanLink(state, out, book, chapter, labelIndex);
}

// The reading rows of the daily plan, appended to the calendar bar.
void AppendDailyReadings(RenderState& state, GbString& page) {
    HostState& host = state.host;
    const Date& date = host.calendarDate;
    const int daysInMonth = date.DaysInMonth();

    page += "<table><tr><td>";
    MonthBookLinks(state, page, 20, daysInMonth, date.day, 30, kWordProverbs, kWordExtraProverbs);

    page += "<td>";
    long long g = static_cast<long long>(date.dayNumber) - state.dailyPlanBase.dayNumber;
    long long h = g + 7 + ((g != -8 && g + 8 >= 0) ? 1 : 0);
    long long s = h <= 0 ? -1 : 1;
    h = Rem(Rem(h - s, 24) + s + 25, 25);  // 1..24: Joshua's chapters, one a day
    PlanLink(state, page, 6, static_cast<int>(h), kWordJoshua);

    // The companion reading of the same day of the 24-day cycle.
    const long long entry = ToInt(state.cmpStr[kWordCompanionList].Slice(static_cast<int>((h - 1) * 6), 6));
    const int book = static_cast<int>(entry / 1000);
    if (GbString* label = state.cmpStr.Get(kWordCompanionBook)) {
        label->Assign(BookAbbreviation(state, book));
    }
    PlanLink(state, page, book, static_cast<int>(entry % 1000), kWordCompanionBook);
    host.inCalendar = 1;
    DayModuleLinks(state, page, static_cast<int>(h + 187));

    page += "<tr><td>";
    MonthBookLinks(state, page, 5, daysInMonth, date.day, 33, kWordDeuteronomy,
                   kWordExtraDeuteronomy);

    page += "<td>";
    s = (g != -4 && g + 4 >= 0) ? 1 : -1;
    g = Rem(Rem(g - s + 4, 27) + s + 27, 27);  // 0..26: Isaiah 40-66 beside Genesis 21-47
    PlanLink(state, page, 23, static_cast<int>(g + 40), kWordIsaiah);
    PlanLink(state, page, 1, static_cast<int>(g + 21), kWordGenesis);
    DayModuleLinks(state, page, static_cast<int>(g + 21));
    page += "</table>";
}

}  // namespace

int SixDayPlanDay(long long n, const Date& base) {
    const long long c = base.dayNumber;
    const long long w = base.weekday;
    const long long diff = n - c;
    const long long q = diff / 7;
    const long long e = Rem(diff, 7);
    const long long t = w + e;
    // Whether the week day of n lies beyond the base's week day within its week.
    const long long k = ((t >= 7 || t <= 0) ? (n > c ? 1 : 0) : (n < c ? 1 : 0)) - 1;
    long long f;
    if (diff > 0) {
        f = Rem(6 * q - k + e - 1, kPlanDays) + 1;
    } else {
        f = Rem(6 * q - k + e + 1, kPlanDays) - 1;
    }
    if (Rem(n, 7) == 0) return 0;  // Sunday
    return static_cast<int>(Rem(f + kPlanDays + 1, kPlanDays + 1));
}

int DailyPlanDay(long long n, const Date& base) {
    const long long d = n - base.dayNumber + 215;
    const long long r = d > 0 ? Rem(d - 1, kPlanDays) + 1 : Rem(d, kPlanDays) - 1;
    return static_cast<int>(Rem(r + kPlanDays + 1, kPlanDays + 1));
}

int PlanDay(const RenderState& state, long long dayNumber) {
    return state.host.planMode != 0 ? DailyPlanDay(dayNumber, state.dailyPlanBase)
                                    : SixDayPlanDay(dayNumber, state.sixDayPlanBase);
}

int CalendarReadingDay(const RenderState& state) {
    const Date& date = state.host.calendarDate;
    const bool sundayOff = state.host.planMode == 0 && date.weekday == 0;
    return PlanDay(state, static_cast<long long>(date.dayNumber) + (sundayOff ? 1 : 0));
}

GbString WheelTable(RenderState& state, const Date& date) {
    // A Sunday shows the wheel of the Monday after it.
    const long long dayNumber = date.dayNumber + (date.weekday == 0 ? 1 : 0);
    const GbString key = Padded(PlanDay(state, dayNumber), "000");
    GbString record = ReadModuleEntry(state, "tidoran", key, false);
    GbString out;
    if (record.IsEmpty()) {
        // A day the installation has no wheel for says so instead of an empty table.
        SayWhenNoEntry(state, out);
        return out;
    }
    record.Replace("_", "<br>");
    const GbList f(record, ",");

    out.Assign("<table class=tb><tr><td class=td1 width=68% colspan=2>");
    out += f[0];
    out += "(";
    out += f[2];
    out += state.cmpStr[kWordWeek];
    out += f[3];
    out += state.cmpStr[kWordRead];
    out += f[4];
    out += state.cmpStr[kWordRemaining];
    out += f[5];
    out += "<td class=td2 width=32%>";
    out += f[1];
    out += "<tr><td class=td1 width=68% colspan=2 align-center><big>";
    out += f[6];
    out += "</big><br><ins>";
    out += f[8];
    out += "</ins><td class=td6 width=32% align=center rowspan=2><big>";
    out += f[7];
    out += "</big><br><ins>";
    out += f[13];
    out += "</ins><tr><td class=td1>";
    out += f[9];
    out += "<td class=td1>";
    out += f[11];
    out += "<tr><td class=td3 width=34%>";
    out += f[10];
    out += "<td class=td3 width=34%>";
    out += f[12];
    out += "<td class=td8 width=32% align=center>";
    out += f[14];
    out += "</td></table>";
    return out;
}

GbString DayLink(const RenderState& state, Date date, std::string_view label) {
    date.Format();
    const int planDay = PlanDay(state, date.dayNumber);
    GbString link;
    if (planDay != 0) {
        link.Assign("<a href=1 id=");
        link += Padded(planDay, "000");
        link += " Title=";
        link += date.text;
        link += ">";
        link += label;
        link += "</a>";
    } else {
        link.Assign("<span style='color:red' title=");
        link += date.text;
        link += state.cmpStr[kWordRestDay];
        link += ">";
        link += label;
        link += "</span>";
    }
    return link;
}

void PlanLink(const RenderState& state, GbString& out, int book, int chapter, int labelIndex) {
    out += "<a href=";
    out += Padded(static_cast<long long>(book) * 1000 + chapter, "00000");
    out += state.cmpStr[kWordPlanTagEnd];
    out += state.cmpStr[labelIndex];
    out += DecimalText(chapter);
    out += state.cmpStr[kWordChapterUnit];
    out += "</a> ";
}

void DayModuleLinks(const RenderState& state, GbString& out, int day) {
    const GbString key = Padded(day, "000");
    if (state.host.planMode != 0 && state.host.inCalendar != 0) {
        out += "<a href=oblix#";
        out += key;
        out += state.cmpStr[kWordOutlineLink];
    }
    out += "<a href=zendri id=";
    out += key;
    out += state.cmpStr[kWordPlanTagEnd];
    out += state.cmpStr[kWordStudyNotes];
    out += "</a> ";
    out += "<a href=amberly id=";
    out += key;
    out += state.cmpStr[kWordPlanTagEnd];
    out += state.cmpStr[kWordDevotional];
    out += "</a> ";
}

GbString CalendarPage(RenderState& state, std::string_view dateText) {
    HostState& host = state.host;

    if (!dateText.empty() && dateText.front() == '+') dateText.remove_prefix(1);
    Date& date = host.calendarDate;
    if (dateText.size() == 10 && dateText.front() != '0') {
        date.Parse(dateText);
    } else {
        date.SetToday();
    }
    date.Format();
    host.planDay = PlanDay(state, date.dayNumber);

    const GbList& words = state.cmpStr;
    GbString page("<p align=center>");
    page += DayLink(state, Shifted(date, -1, 0, 0), words[kWordYear]);
    page += " ";
    page += DayLink(state, Shifted(date, 0, -1, 0), words[kWordMonth]);
    page += " ";
    page += DayLink(state, Shifted(date, 0, 0, -14), words[kWordTwoWeeks]);
    page += " ";
    for (int n = 6; n >= 1; --n) page += DayLink(state, Shifted(date, 0, 0, -n), DecimalText(n));
    page += words[kWordTodayLink];
    page += date.text;
    page += " href=>";
    page += date.text;
    page += words[kWordWeekday];
    page += words[kWordWeekdays].Slice(date.weekday * 2, 2);
    page += "</a>";
    page += words[kWordAfterToday];
    for (int n = 1; n <= 6; ++n) page += DayLink(state, Shifted(date, 0, 0, n), DecimalText(n));
    page += words[kWordAfterNextDays];
    page += DayLink(state, Shifted(date, 0, 0, 14), words[kWordTwoWeeks]);
    page += " ";
    page += DayLink(state, Shifted(date, 0, 1, 0), words[kWordMonth]);
    page += " ";
    page += DayLink(state, Shifted(date, 1, 0, 0), words[kWordYear]);
    page += words[state.useGbk != 0 ? kWordShowSimplified : kWordShowTraditional];

    if (host.planMode != 0) AppendDailyReadings(state, page);

    // The calendar flag shares its moment of reset with the book of the last reference: both
    // start afresh after the calendar.
    host.inCalendar = 0;
    state.lastBook = 0;
    return page;
}

bool IsCalendarPage(const RenderState& state, const GbString& body) {
    const GbString& todayLink = state.cmpStr[kWordTodayLink];
    return !todayLink.IsEmpty() && body.Find(todayLink) >= 0;
}

}  // namespace quillax
