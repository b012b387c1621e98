#include <gtest/gtest.h>

#include <ctime>

#include "textlib/date.h"

namespace quillax {
namespace {

GbString Text(int y, int m, int d) { return Date(y, m, d).Format(); }

TEST(DateTest, DayNumbersAndWeekdays) {
    Date d(1, 1, 1);
    EXPECT_EQ(d.dayNumber, 1);
    EXPECT_EQ(d.weekday, 1);  // Monday
    d.Set(2000, 1, 1);
    EXPECT_EQ(d.dayNumber, 730120);
    EXPECT_EQ(d.weekday, 6);  // Saturday
    d.Set(1970, 1, 1);
    EXPECT_EQ(d.dayNumber, 719163);
    EXPECT_EQ(d.weekday, 4);
    d.Set(2024, 2, 29);
    EXPECT_EQ(d.dayNumber, 738945);
    EXPECT_EQ(d.weekday, 4);
    d.Set(2004, 2, 1);
    EXPECT_EQ(d.weekday, 0);  // Sunday
    // Before year 1 the divisions round down: year 0 is a leap year ending on day 0.
    d.Set(0, 12, 31);
    EXPECT_EQ(d.dayNumber, 0);
    EXPECT_EQ(d.weekday, 0);
    d.Set(0, 1, 1);
    EXPECT_EQ(d.dayNumber, -365);
    EXPECT_EQ(d.weekday, 6);

    // Consecutive days have consecutive numbers across months, years and leap days.
    const Date base(1899, 12, 1);
    for (int k = -800; k < 40000; k += 7) {
        const Date later(1899, 12, 1 + k);
        ASSERT_EQ(later.dayNumber - base.dayNumber, k) << later.text.str();
        ASSERT_GE(later.day, 1);
        ASSERT_LE(later.day, later.DaysInMonth());
        ASSERT_EQ(later.weekday, ((later.dayNumber % 7) + 7) % 7);
    }
}

TEST(DateTest, NormalizesInBothDirections) {
    EXPECT_EQ(Text(2024, 3, 0), "2024-02-29");
    EXPECT_EQ(Text(2023, 3, 0), "2023-02-28");
    EXPECT_EQ(Text(1900, 2, 29), "1900-03-01");
    EXPECT_EQ(Text(2000, 2, 29), "2000-02-29");
    EXPECT_EQ(Text(2024, 1, -40), "2023-11-21");
    EXPECT_EQ(Text(2023, 1, 400), "2024-02-04");
    EXPECT_EQ(Text(2024, -12, 15), "2022-12-15");  // month index -13
    EXPECT_EQ(Text(2024, 13, 1), "2025-01-01");
    EXPECT_EQ(Text(2024, 1, 1 + 146097 * 3), "3224-01-01");
    EXPECT_EQ(Text(2024, 1, 1 - 146097), "1624-01-01");
    EXPECT_EQ(Text(12345, 6, 7), "2345-06-07");  // the year keeps its last four digits

    Date d;
    d.year = 2023;
    d.month = 0;
    d.day = 31 + 29;  // no 29th of February in 2023
    d.Normalize();
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(Date::DaysInMonth(2024, 1), 29);
    EXPECT_EQ(Date::DaysInMonth(1900, 1), 28);
    EXPECT_EQ(Date(2000, 2, 1).DaysInMonth(), 29);
    EXPECT_EQ(Date(2001, 4, 1).DaysInMonth(), 30);
}

TEST(DateTest, ParseAndOffsets) {
    Date d;
    d.Parse("2001-04-31");
    EXPECT_EQ(d.Format(), "2001-05-01");
    d.Parse("2024-01-15 extra");
    EXPECT_EQ(d.OffsetText(0, -1, 0), "2023-12-15");
    EXPECT_EQ(d.OffsetText(-1, 0, 0), "2023-01-15");
    EXPECT_EQ(d.OffsetText(0, 0, 17), "2024-02-01");
    EXPECT_EQ(d.OffsetText(0, 0, -15), "2023-12-31");
    // The date itself is unchanged after each offset.
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 0);
    EXPECT_EQ(d.day, 15);
    EXPECT_EQ(d.Format(), "2024-01-15");

    d.Set(2024, 2, 29);
    EXPECT_EQ(d.OffsetText(1, 0, 0), "2025-03-01");
    d.Set(2023, 1, 31);
    EXPECT_EQ(d.OffsetText(0, 1, 0), "2023-03-03");
    d.Parse("abcd");
    // Year 0, month 0, day 0: the day before 0000-01-01; "0000" + "-1" keeps its last four.
    EXPECT_EQ(d.Format(), "00-1-11-30");
}

TEST(DateTest, TodayIsTheLocalDate) {
    const std::time_t now = std::time(nullptr);
    const std::tm local = *std::localtime(&now);
    Date d;
    d.SetToday();
    // Tolerate a midnight passing between the two readings.
    const Date expected(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    EXPECT_GE(d.dayNumber, expected.dayNumber);
    EXPECT_LE(d.dayNumber, expected.dayNumber + 1);
}

}  // namespace
}  // namespace quillax
