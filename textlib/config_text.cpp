#include "textlib/config_text.h"

#include "platform/files.h"

namespace quillax {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kQuote = '"';

// The end of the line that starts at or after `from`: the position of the next CR LF, or the
// end of the text.
int LineEnd(const GbString& text, int from) {
    const int end = from < text.Length() ? text.Find(kLineEnd, from) : -1;
    return end < 0 ? text.Length() : end;
}

// Position of the next double quote at or after `from`, or -1.
int NextQuote(const GbString& text, int from) {
    return from < text.Length() ? text.Find(std::string_view(&kQuote, 1), from) : -1;
}

// Whether only blanks and tabs stand between the start of the line and position at.
bool StartsLine(std::string_view text, std::size_t at) {
    while (at > 0) {
        const char before = text[at - 1];
        if (before == '\n') {
            return true;
        }
        if (before != ' ' && before != '\t') {
            return false;
        }
        --at;
    }
    return true;
}

}  // namespace

int FindConfigKey(std::string_view text, std::string_view key) {
    if (key.empty()) {
        return -1;
    }
    // A match that starts a line never starts on the second byte of a character (that follows a
    // lead byte, not a line feed or a blank), so a byte-wise search serves here.
    for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        if (StartsLine(text, at)) {
            return static_cast<int>(at);
        }
    }
    // No line starts with it: the first occurrence, found as every text search finds it.
    return GbString(text).Find(key, 0);
}

GbString ApplyBlankRule(std::string_view text) {
    GbString result(text);
    result.Replace(" =", "=");
    result.Replace("= ", "=");
    return result;
}

GbString ReadConfigFile(std::string_view path) {
    const auto bytes = platform::ReadWholeFile(path);
    if (!bytes) {
        return GbString();
    }
    return ApplyBlankRule(*bytes);
}

GbString ReadConfigValue(const GbString& configText, std::string_view key) {
    const GbString& text = configText;
    GbString value;
    const int at = FindConfigKey(text, key);
    if (at < 0) {
        return value;
    }
    const int start = at + static_cast<int>(key.size());
    if (text.GetAt(start) == kQuote) {
        const int close = NextQuote(text, start + 1);
        const int end = close < 0 ? text.Length() : close;
        value.Assign(text.Slice(start + 1, end - start - 1));
        value.Replace(kLineEnd, "");
        return value;
    }
    value.Assign(text.Slice(start, LineEnd(text, start) - start));
    value.Replace(" ", "");
    return value;
}

GbList ReadConfigList(const GbString& configText, std::string_view key) {
    return GbList(ReadConfigValue(configText, key), ",", GbList::kSplitSharedBuffer);
}

GbString StoredConfigValue(std::string_view value) {
    GbString stored(value);
    if (stored.Length() > 0 && stored.GetAt(stored.Length() - 1) == '`') {
        stored.SetLength(stored.Length() - 1);
    }
    if (stored == " ") {
        stored.Empty();
    }
    if (stored.Find(" ", 0) >= 0) {
        stored.Insert(0, "\"");
        stored.Append('"');
    }
    return stored;
}

bool ReplaceConfigValue(GbString& configText, std::string_view key, std::string_view value) {
    const int at = FindConfigKey(configText, key);
    if (at < 0) {
        return false;
    }
    const int start = at + static_cast<int>(key.size());
    // The old value ends at the end of its line; a quoted one that goes on over further lines
    // ends at the end of the line that holds its closing quote.
    int end = LineEnd(configText, start);
    if (configText.GetAt(start) == kQuote) {
        const int close = NextQuote(configText, start + 1);
        if (close > end) {
            end = LineEnd(configText, close);
        }
    }
    const GbString stored = StoredConfigValue(value);
    configText.Delete(start, end - start);
    configText.Insert(start, stored);
    return true;
}

}  // namespace quillax
