#include "textlib/text_helpers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <climits>
#include <string>

namespace quillax {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Skips leading white space; returns the index of the first other byte.
std::size_t SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

// The power of ten of the leading digit of a well-formed number text "ddd.ddde+dd" (its
// mantissa has a non-zero digit): 0 for "5", 2 for "123", -3 for "0.0012".
long long DecimalExponent(const std::string& number) {
    const std::size_t e = number.find_first_of("eE");
    const std::string mantissa = number.substr(0, e);
    long long exponent = e == std::string::npos ? 0 : ToInt(std::string_view(number).substr(e + 1));
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos) return exponent;
    exponent += first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return exponent;
}

}  // namespace

int ToInt(std::string_view text) {
    std::size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated as a negative number so that INT_MIN itself fits; clamped on overflow.
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < static_cast<long long>(INT_MIN) - 1) value = static_cast<long long>(INT_MIN) - 1;
    }
    if (!negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

GbString DecimalText(long long value) {
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    GbString text;
    text.SetNumber(static_cast<int>(value));
    return text;
}

double ToReal(std::string_view text) {
    std::size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    // The longest prefix of the form digits [. digits] [e [sign] digits], with at least one
    // digit in the mantissa.
    const std::size_t start = i;
    std::size_t mantissaDigits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++mantissaDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return 0.0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            end = j;
        }
    }

    // from_chars reads without regard to the C locale; it rejects a leading "+" (none here)
    // and needs a digit before "." , which ".5" lacks.
    std::string number;
    if (text[start] == '.') number = "0";
    number.append(text.substr(start, end - start));
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity and too small zero, as strtod does.
        value = DecimalExponent(number) > 0 ? HUGE_VAL : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

int ParseColor(std::string_view text) {
    if (text.find('#') == std::string_view::npos) {
        if (text == "red") return 0xFF0000;
        if (text == "green") return 0x00FF00;
        return 0x0000FF;
    }
    int value = 0;
    for (std::size_t i = 1; i <= 6; ++i) {
        const char c = i < text.size() ? text[i] : '\0';
        int digit = 0;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'z') {
            digit = c - 'a' + 'A' - 55;
        } else if (c >= 'A' && c <= 'Z') {
            digit = c - 55;
        }
        value = value * 16 + digit;
    }
    return value;
}

int FindIgnoringCase(std::string_view text, std::string_view pattern, int from) {
    if (from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
    const auto same = [](char a, char b) { return LowerAscii(a) == LowerAscii(b); };
    const auto found = std::search(text.begin() + from, text.end(), pattern.begin(), pattern.end(), same);
    if (found == text.end() && !pattern.empty()) return -1;
    return static_cast<int>(found - text.begin());
}

bool Contains(const GbString& text, std::string_view word) {
    return !word.empty() && text.Find(word) >= 0;
}

bool ContainsAfterStart(const GbString& text, std::string_view word) {
    if (word.empty()) return false;
    int at = text.Find(word);
    // The search walks characters from its start, so it continues behind the match at 0
    // rather than at byte 1, which may be the second byte of a character.
    if (at == 0) at = text.Find(word, static_cast<int>(word.size()));
    return at > 0;
}

GbString StripPath(std::string_view text) {
    GbString name(text);
    name.MakeLower();
    const int slash = name.ReverseFind("/");
    if (slash >= 0) name.Delete(0, slash + 1);
    return name;
}

std::string SingleDisplayLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool pendingBreak = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            pendingBreak = !out.empty();
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t') continue;
        if (byte == 0x7F) continue;
        if (pendingBreak) out += ' ';
        pendingBreak = false;
        out += c == '\t' ? ' ' : c;
    }
    return out;
}

}  // namespace quillax
