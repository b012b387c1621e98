// Date: a day of the proleptic Gregorian calendar with its day number and weekday, used by
// the reading calendar.
//
// The fields may be set freely (for instance day += 14) and are brought back into range by
// Normalize(), which also derives dayNumber and weekday. Months are stored 0..11 while Set()
// and the formatted text use 1..12. Out-of-range values of any size are accepted: the fields
// are plain ints, so a day of 400 or an offset of -40 days normalises correctly.
#pragma once

#include <string_view>

#include "textlib/gb_string.h"

namespace quillax {

class Date {
public:
    int year = 1;
    int month = 0;      // 0 = January .. 11 = December after normalisation
    int day = 1;        // 1..31 after normalisation
    int dayNumber = 1;  // days since 0000-12-31: 0001-01-01 is day 1
    int weekday = 1;    // dayNumber mod 7, 0 = Sunday
    GbString text;      // "yyyy-mm-dd", written by Format() and OffsetText()

    Date() = default;  // 0001-01-01, a Monday
    Date(int y, int m, int d) { Set(y, m, d); }

    // Today's local date.
    void SetToday();
    // Sets year, month (1..12) and day, then normalises.
    void Set(int y, int m, int d);
    // Reads "yyyy-mm-dd": year = the number in characters 0-3, month in 5-6, day in 8-9
    // (decimal prefixes, 0 when not a number), then normalises; 2001-04-31 becomes 2001-05-01.
    void Parse(std::string_view dateText);
    // Carries months into years, then days into months (both directions, with the month
    // lengths of the year reached), then derives dayNumber and weekday.
    void Normalize();
    // Normalises and writes "yyyy-mm-dd" (each part zero-padded, the year to its last four
    // digits) into `text`, which it returns.
    const GbString& Format();
    // The text of this date moved by the given years, months and days (applied together, then
    // normalised). The date itself is left as it was; `text` holds the returned text.
    GbString OffsetText(int dYears, int dMonths, int dDays);
    // Length of the current month in the current year.
    int DaysInMonth() const;

    static bool IsLeapYear(int y);
    // Length of month m (0..11) in year y.
    static int DaysInMonth(int y, int m);
};

}  // namespace quillax
