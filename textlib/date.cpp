#include "textlib/date.h"

#include <ctime>

#include "textlib/text_helpers.h"

namespace quillax {

namespace {

// Days in 400 Gregorian years: moving a date by 400 years moves it by exactly this many days.
constexpr int kDaysPer400Years = 146097;

long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

long long FloorMod(long long a, long long b) { return a - FloorDiv(a, b) * b; }

// Days of the months before month m (0..11) in year y.
int DaysBeforeMonth(int y, int m) {
    int days = 0;
    for (int i = 0; i < m; ++i) days += Date::DaysInMonth(y, i);
    return days;
}

}  // namespace

bool Date::IsLeapYear(int y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

int Date::DaysInMonth(int y, int m) {
    static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 0 || m > 11) return 31;
    return m == 1 && IsLeapYear(y) ? 29 : kLengths[m];
}

int Date::DaysInMonth() const { return DaysInMonth(year, month); }

void Date::SetToday() {
    const std::time_t now = std::time(nullptr);
    // The engine runs on one thread, so the C library's shared result is safe to read here.
    const std::tm* local = std::localtime(&now);
    if (local == nullptr) return;
    Set(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
}

void Date::Set(int y, int m, int d) {
    year = y;
    month = m - 1;
    day = d;
    Normalize();
}

void Date::Parse(std::string_view dateText) {
    const auto part = [dateText](std::size_t at, std::size_t count) {
        return at < dateText.size() ? dateText.substr(at, count) : std::string_view();
    };
    Set(ToInt(part(0, 4)), ToInt(part(5, 2)), ToInt(part(8, 2)));
}

void Date::Normalize() {
    // Months carry into years and borrow from them.
    year += static_cast<int>(FloorDiv(month, 12));
    month = static_cast<int>(FloorMod(month, 12));

    // Whole 400-year cycles first, so that huge day offsets do not walk month by month.
    if (day > kDaysPer400Years || day < -kDaysPer400Years) {
        const int cycles = day / kDaysPer400Years;
        day -= cycles * kDaysPer400Years;
        year += cycles * 400;
    }
    // Days carry into months with the lengths of the year reached (February re-evaluated).
    while (day > DaysInMonth(year, month)) {
        day -= DaysInMonth(year, month);
        if (++month > 11) {
            month = 0;
            ++year;
        }
    }
    while (day <= 0) {
        if (--month < 0) {
            month = 11;
            --year;
        }
        day += DaysInMonth(year, month);
    }

    const long long y1 = static_cast<long long>(year) - 1;
    const long long number = 365 * y1 + FloorDiv(y1, 4) - FloorDiv(y1, 100) + FloorDiv(y1, 400) +
                             DaysBeforeMonth(year, month) + day;
    dayNumber = static_cast<int>(number);
    weekday = static_cast<int>(FloorMod(number, 7));
}

const GbString& Date::Format() {
    Normalize();
    text.SetPadded(year, "0000");
    text.Append('-');
    text.SetPadded(month + 1, "00", true);
    text.Append('-');
    text.SetPadded(day, "00", true);
    return text;
}

GbString Date::OffsetText(int dYears, int dMonths, int dDays) {
    const int savedYear = year;
    const int savedMonth = month;
    const int savedDay = day;
    year += dYears;
    month += dMonths;
    day += dDays;
    GbString result = Format();
    year = savedYear;
    month = savedMonth;
    day = savedDay;
    Normalize();
    return result;
}

}  // namespace quillax
