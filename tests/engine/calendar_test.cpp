// The reading plans, the reading-calendar page and the wheel popup table. Chinese narrow
// literals are GBK bytes at run time.
#include <gtest/gtest.h>

#include <string>

#include "engine/pages/calendar.h"
#include "engine/pages/pipeline.h"
#include "study_fixture.h"

namespace quillax {
namespace {

using testing::StudyTest;

int DayNumber(int y, int m, int d) { return Date(y, m, d).dayNumber; }

TEST(PlanDayTest, SixDayPlanCountsWeekdaysFromItsAnchorAndRestsOnSundays) {
    const Date base(2000, 2, 16);  // a Wednesday: plan day 1
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 16), base), 1);
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 19), base), 4);   // Saturday
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 20), base), 0);   // Sunday
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 21), base), 5);   // Monday
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 28), base), 11);
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 29), base), 12);  // leap day
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 3, 1), base), 13);
    // Before the anchor the plan runs backwards from its last day.
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 15), base), 478);
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 14), base), 477);
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 13), base), 0);
    EXPECT_EQ(SixDayPlanDay(DayNumber(2000, 2, 12), base), 476);

    // Over forty years (year ends, leap years, before and after the anchor): every Sunday is
    // 0 and every other day is the day after the previous reading day, 478 wrapping to 1.
    int previous = SixDayPlanDay(DayNumber(1989, 12, 30), base);
    for (int n = DayNumber(1990, 1, 1); n < DayNumber(2030, 1, 1); ++n) {
        const int day = SixDayPlanDay(n, base);
        if (n % 7 == 0) {
            ASSERT_EQ(day, 0) << n;
            continue;
        }
        ASSERT_EQ(day, previous % kPlanDays + 1) << n;
        previous = day;
    }
}

TEST(PlanDayTest, DailyPlanCyclesThrough478DaysAroundItsAnchor) {
    const Date base(2004, 2, 1);
    const int anchor = base.dayNumber;
    EXPECT_EQ(DailyPlanDay(anchor - 214, base), 1);
    EXPECT_EQ(DailyPlanDay(anchor + 263, base), 478);
    EXPECT_EQ(DailyPlanDay(anchor + 264, base), 1);
    EXPECT_EQ(DailyPlanDay(anchor - 215, base), 478);
    EXPECT_EQ(DailyPlanDay(anchor, base), 215);
    EXPECT_EQ(DailyPlanDay(DayNumber(2003, 12, 31), base), 183);
    EXPECT_EQ(DailyPlanDay(DayNumber(2004, 1, 1), base), 184);

    int previous = DailyPlanDay(DayNumber(1989, 12, 31), base);
    for (int n = DayNumber(1990, 1, 1); n < DayNumber(2030, 1, 1); ++n) {
        const int day = DailyPlanDay(n, base);
        ASSERT_EQ(day, previous % kPlanDays + 1) << n;
        previous = day;
    }
}

TEST_F(StudyTest, PlanDayFollowsThePlanModeAndTheCalendarDayShiftsSundays) {
    const int sunday = DayNumber(2000, 2, 20);
    EXPECT_EQ(PlanDay(state, sunday), 0);
    state.host.planMode = 1;
    EXPECT_EQ(PlanDay(state, sunday), DailyPlanDay(sunday, state.dailyPlanBase));

    // The devotional and day pages of a Sunday show the Monday in the six-day plan only.
    state.host.calendarDate.Set(2000, 2, 20);
    EXPECT_EQ(CalendarReadingDay(state), 207);
    state.host.planMode = 0;
    EXPECT_EQ(CalendarReadingDay(state), 5);
}

TEST_F(StudyTest, CalendarPageOfTheSixDayPlan) {
    ReadingCalendar(state, "2024-03-05");
    const std::string expected =
        "<p align=center><span style='color:red' title=2023-03-05休息日>年</span>"
        " <a href=1 id=335 Title=2024-02-05>月</a> <a href=1 id=348 Title=2024-02-20>两周</a>"
        " <a href=1 id=355 Title=2024-02-28>6</a><a href=1 id=356 Title=2024-02-29>5</a>"
        "<a href=1 id=357 Title=2024-03-01>4</a><a href=1 id=358 Title=2024-03-02>3</a>"
        "<span style='color:red' title=2024-03-03休息日>2</span>"
        "<a href=1 id=359 Title=2024-03-04>1</a>"
        "　<a class=today title=日程2024-03-05 href=>2024-03-05　星期二</a>"
        "　<a href=1 id=361 Title=2024-03-06>1</a><a href=1 id=362 Title=2024-03-07>2</a>"
        "<a href=1 id=363 Title=2024-03-08>3</a><a href=1 id=364 Title=2024-03-09>4</a>"
        "<span style='color:red' title=2024-03-10休息日>5</span>"
        "<a href=1 id=365 Title=2024-03-11>6</a>　<a href=1 id=372 Title=2024-03-19>两周</a>"
        " <a href=1 id=387 Title=2024-04-05>月</a> <a href=1 id=195 Title=2025-03-05>年</a>"
        "　<a href=fanjian title=简繁转换>繁体</a>"
;
    // Written without the LINKCTRL links; the skip is used up.
    EXPECT_EQ(Body(), expected);
    EXPECT_EQ(CalendarPage(state, "2024-03-05"), expected);
    EXPECT_FALSE(state.host.skipLinkControlOnce);
    EXPECT_EQ(state.host.calendarDate.Format(), "2024-03-05");
    EXPECT_EQ(state.host.planDay, 360);
    EXPECT_FALSE(state.busy);

    // With traditional characters shown the bar ends with the other language link.
    state.useGbk = 1;
    const std::string link = "　<a href=fanjian title=简繁转换>简体</a>";
    const std::string page = CalendarPage(state, "2024-03-05").str();
    EXPECT_EQ(page.substr(page.size() - link.size()), link);
}

TEST_F(StudyTest, CalendarPageOfTheDailyPlanAddsTheReadingRows) {
    // Tell the labels of the second chapters apart from the first.
    SetWord(55, "DX");
    SetWord(56, "PX");
    SetWord(59, "XX");
    state.host.planMode = 1;
    state.lastBook = 7;
    ReadingCalendar(state, "+2024-04-30");
    const std::string expected =
        "<p align=center><a href=1 id=073 Title=2023-04-30>年</a>"
        " <a href=1 id=408 Title=2024-03-30>月</a> <a href=1 id=425 Title=2024-04-16>两周</a>"
        " <a href=1 id=433 Title=2024-04-24>6</a><a href=1 id=434 Title=2024-04-25>5</a>"
        "<a href=1 id=435 Title=2024-04-26>4</a><a href=1 id=436 Title=2024-04-27>3</a>"
        "<a href=1 id=437 Title=2024-04-28>2</a><a href=1 id=438 Title=2024-04-29>1</a>"
        "　<a class=today title=日程2024-04-30 href=>2024-04-30　星期二</a>"
        "　<a href=1 id=440 Title=2024-05-01>1</a><a href=1 id=441 Title=2024-05-02>2</a>"
        "<a href=1 id=442 Title=2024-05-03>3</a><a href=1 id=443 Title=2024-05-04>4</a>"
        "<a href=1 id=444 Title=2024-05-05>5</a><a href=1 id=445 Title=2024-05-06>6</a>"
        "　<a href=1 id=453 Title=2024-05-14>两周</a> <a href=1 id=469 Title=2024-05-30>月</a>"
        " <a href=1 id=326 Title=2025-04-30>年</a>　<a href=fanjian title=简繁转换>繁体</a>"
        "<table><tr><td><a href=20030 class=plan>箴言30章</a> <a href=20031 class=plan>PX31章</a>"
        " <td><a href=06010 class=plan>约书亚记10章</a> <a href=42010 class=plan>路10章</a>"
        " <a href=oblix#197 class=plan>纲目</a> <a href=zendri id=197 class=plan>研经</a>"
        " <a href=amberly id=197 class=plan>灵修</a> <tr><td><a href=05033 class=plan>申命记33章</a>"
        " <a href=05034 class=plan>DX34章</a> <td><a href=23040 class=plan>以赛亚书40章</a>"
        " <a href=01021 class=plan>创世记21章</a> <a href=oblix#021 class=plan>纲目</a>"
        " <a href=zendri id=021 class=plan>研经</a> <a href=amberly id=021 class=plan>灵修</a>"
        " </table>";
    EXPECT_EQ(Body(), expected);
    // The companion label is rewritten with the book read; the flags are reset.
    EXPECT_EQ(state.cmpStr[59], "路");
    EXPECT_EQ(state.host.inCalendar, 0);
    EXPECT_EQ(state.lastBook, 0);
    EXPECT_EQ(state.host.planDay, 439);
}

TEST_F(StudyTest, CalendarReadingRowsAtTheEndOfShortMonths) {
    state.host.planMode = 1;
    // 29 days: the last two days read Proverbs 28-31 and Deuteronomy 31-34.
    ReadingCalendar(state, "2024-02-28");
    GbString page(Body());
    EXPECT_GE(page.Find("<a href=20028 class=plan>箴言28章</a> <a href=20029 class=plan>加读29章</a> <td>"), 0);
    EXPECT_GE(page.Find("<tr><td><a href=05031 class=plan>申命记31章</a> <a href=05032 class=plan>加读32章</a> <td>"), 0);
    // An ordinary day reads one chapter of each.
    ReadingCalendar(state, "2024-03-07");
    page = Body();
    EXPECT_GE(page.Find("<table><tr><td><a href=20007 class=plan>箴言7章</a> <td>"), 0);
    EXPECT_GE(page.Find("<tr><td><a href=05007 class=plan>申命记7章</a> <td>"), 0);
}

TEST_F(StudyTest, CalendarDateTextsAndTheBusyEngine) {
    // The 29th of February of a common year, after a "+", is the 1st of March.
    ReadingCalendar(state, "+2023-02-29");
    EXPECT_EQ(state.host.calendarDate.Format(), "2023-03-01");

    // A text of another length, or one starting with "0", means today.
    Date today;
    for (const char* text : {"2024-3-5", "", "0999-01-01", "+", "2024-03-05x"}) {
        state.host.calendarDate.Set(1999, 1, 1);
        ReadingCalendar(state, text);
        today.SetToday();
        EXPECT_EQ(state.host.calendarDate.dayNumber, today.dayNumber) << text;
    }

    // Garbage of the right length gives some date and a page, never a crash.
    ReadingCalendar(state, "abcd-ef-gh");
    EXPECT_FALSE(Body().empty());

    // While the engine is busy nothing happens.
    host.ClearLog();
    state.busy = true;
    state.host.calendarDate.Set(1999, 1, 1);
    ReadingCalendar(state, "2024-03-05");
    EXPECT_TRUE(host.Log().empty());
    EXPECT_EQ(state.host.calendarDate.Format(), "1999-01-01");
    EXPECT_TRUE(state.busy);
}

TEST_F(StudyTest, DayLinksNormaliseTheirDateAndModuleLinksLeaveOutTheOutline) {
    Date date(2024, 3, 4);
    date.day += 27;
    EXPECT_EQ(DayLink(state, date, "y"), "<span style='color:red' title=2024-03-31休息日>y</span>");

    GbString out;
    // The outline link only while the daily plan's calendar rows are built.
    DayModuleLinks(state, out, 7);
    EXPECT_EQ(out,
              "<a href=zendri id=007 class=plan>研经</a> "
              "<a href=amberly id=007 class=plan>灵修</a> ");
    state.host.planMode = 1;
    DayModuleLinks(state, out, 7);
    EXPECT_EQ(out.Find("oblix"), -1);
    state.host.inCalendar = 1;
    out.Empty();
    DayModuleLinks(state, out, 212);
    EXPECT_EQ(out,
              "<a href=oblix#212 class=plan>纲目</a> "
              "<a href=zendri id=212 class=plan>研经</a> "
              "<a href=amberly id=212 class=plan>灵修</a> ");
}

TEST_F(StudyTest, WheelTableLaysOutTheRecordOfThePlanDay) {
    // 2024-03-05 is plan day 360; a Sunday shows the Monday after it.
    ASSERT_TRUE(WriteModule("tidoran", {
        {"359", "星期一,晨,第52,一,75,119日),诗1,诗2,箴1,创1,太1,出1,可1,箴2,路1"},
        {"360", "三月五日,晨读_晚读,第52,二,75,118日),诗3,诗4,箴3,创2,太2,出2,可2,箴4,路2"},
    }));
    EXPECT_EQ(WheelTable(state, Date(2024, 3, 5)),
              "<table class=tb><tr><td class=td1 width=68% colspan=2>三月五日(第52周　星期二"
              "　已读75％　余118日)<td class=td2 width=32%>晨读<br>晚读"
              "<tr><td class=td1 width=68% colspan=2 align-center><big>诗3</big><br><ins>箴3</ins>"
              "<td class=td6 width=32% align=center rowspan=2><big>诗4</big><br><ins>箴4</ins>"
              "<tr><td class=td1>创2<td class=td1>出2<tr><td class=td3 width=34%>太2"
              "<td class=td3 width=34%>可2<td class=td8 width=32% align=center>路2</td></table>");

    // Sunday the 3rd shows the record of Monday the 4th.
    EXPECT_GE(WheelTable(state, Date(2024, 3, 3)).Find("colspan=2>星期一(第52周　星期一"), 0);

    // A day without a record says so instead of showing the table's empty fields.
    EXPECT_EQ(WheelTable(state, Date(2024, 3, 6)), "本日没有灵修短文。");
}

TEST_F(StudyTest, CalendarPagesAreKnownByTheirDateLink) {
    ReadingCalendar(state, "2000-02-17");
    EXPECT_TRUE(IsCalendarPage(state, GbString(Body())));
    // A link of a calendar date that a page merely quotes is no calendar.
    EXPECT_FALSE(IsCalendarPage(state, GbString("<a class=today href=01001>创1:1</a>")));
    EXPECT_FALSE(IsCalendarPage(state, GbString()));
    // Without the vocabulary's date link nothing counts as a calendar.
    SetWord(9, "");
    EXPECT_FALSE(IsCalendarPage(state, GbString("<p align=center>")));
}

}  // namespace
}  // namespace quillax
