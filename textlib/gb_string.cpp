#include "textlib/gb_string.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace quillax {

namespace {

// A byte at or above this value starts a double-byte GBK character (for the searches and the
// case folding; CharCount uses "above").

unsigned char Byte(const char* s, int i) { return static_cast<unsigned char>(s[i]); }

// The text before its first 0 byte.
std::string_view Terminated(std::string_view text) {
    const std::size_t end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

}  // namespace

GbString::GbString(const char* text) {
    if (text != nullptr) bytes_ = text;
}

GbString::GbString(std::string_view text) : bytes_(text) {}

GbString::GbString(const char* bytes, std::size_t count) {
    if (bytes != nullptr) bytes_.assign(bytes, count);
}

GbString::GbString(std::string text) : bytes_(std::move(text)) {}

// True when text points into this string's own bytes; such a view must be copied before the
// bytes change.
bool GbString::Aliases(std::string_view text) const {
    if (text.empty()) return false;
    const std::less_equal<const char*> lessEqual;
    const char* begin = bytes_.data();
    const char* end = begin + bytes_.size();
    return lessEqual(begin, text.data()) && lessEqual(text.data(), end);
}

unsigned char GbString::GetAt(int i) const {
    if (i < 0 || i >= Length()) return 0;
    return Byte(bytes_.data(), i);
}

std::string_view GbString::Slice(int i, int n) const {
    const int len = Length();
    if (i < 0 || i >= len) return {};
    if (n < 0 || n > len - i) n = len - i;
    return std::string_view(bytes_).substr(static_cast<std::size_t>(i), static_cast<std::size_t>(n));
}

void GbString::Assign(std::string_view text) {
    if (Aliases(text)) {
        std::string copy(text);
        bytes_.swap(copy);
    } else {
        bytes_.assign(text.data(), text.size());
    }
}

void GbString::Append(std::string_view text) {
    if (Aliases(text)) {
        const std::string copy(text);
        bytes_.append(copy);
    } else {
        bytes_.append(text.data(), text.size());
    }
}

void GbString::Append(char byte) { bytes_.push_back(byte); }

void GbString::SetLength(int n) { bytes_.resize(static_cast<std::size_t>(std::max(n, 0))); }

void GbString::ReleaseBuffer(int /*growStep*/) { bytes_.resize(std::strlen(bytes_.c_str())); }

void GbString::Insert(int i, std::string_view text) {
    if (i < 0 || i > Length()) return;
    const std::string copy(text);
    bytes_.insert(static_cast<std::size_t>(i), copy);
}

void GbString::Delete(int i, int n) {
    const int len = Length();
    if (i < 0 || i >= len || n == 0) return;
    if (n < 0 || n > len - i) n = len - i;
    bytes_.erase(static_cast<std::size_t>(i), static_cast<std::size_t>(n));
}

void GbString::Left(std::string_view src, int n, bool append) {
    if (n >= 0 && static_cast<std::size_t>(n) < src.size()) src = src.substr(0, static_cast<std::size_t>(n));
    if (append) Append(src); else Assign(src);
}

void GbString::Right(std::string_view src, int n, bool append) {
    if (n >= 0 && static_cast<std::size_t>(n) < src.size()) src = src.substr(src.size() - static_cast<std::size_t>(n));
    if (append) Append(src); else Assign(src);
}

void GbString::Mid(std::string_view src, int i, int n, bool append) {
    std::string_view part;
    if (i >= 0 && static_cast<std::size_t>(i) < src.size()) {
        part = src.substr(static_cast<std::size_t>(i));
        if (n >= 0 && static_cast<std::size_t>(n) < part.size()) part = part.substr(0, static_cast<std::size_t>(n));
    }
    if (append) Append(part); else Assign(part);
}

int FindInText(std::string_view text, std::string_view pattern, int from) {
    const int len = static_cast<int>(text.size());
    if (from < 0 || from >= len) return -1;
    if (pattern.empty()) return 0;
    const char* s = text.data();

    if (pattern.size() == 1) {
        // Compare at the start of each character; a double-byte character is stepped over
        // whole, so its trail byte is never compared.
        const char c = pattern[0];
        for (int i = from; i < len; i += static_cast<int>(GbkCharSize(text, static_cast<std::size_t>(i)))) {
            if (s[i] == c) return i;
        }
        return -1;
    }

    if (pattern.size() == 2 && IsGbkLeadByte(static_cast<unsigned char>(pattern[0]))) {
        // One GBK character: compare at the positions of double-byte characters only.
        for (int i = from; i < len;) {
            if (IsGbkLeadByte(Byte(s, i))) {
                if (i + 1 < len && s[i] == pattern[0] && s[i + 1] == pattern[1]) return i;
                i += 2;
            } else {
                ++i;
            }
        }
        return -1;
    }

    const std::size_t pos = text.find(pattern, static_cast<std::size_t>(from));
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

int GbString::Find(std::string_view pattern, int from) const {
    return FindInText(bytes_, pattern, from);
}

int GbString::ReverseFind(std::string_view pattern, int before) const {
    const std::size_t start = before < 0 ? std::string::npos : static_cast<std::size_t>(before);
    const std::size_t pos = bytes_.rfind(pattern, start);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int GbString::CountOccurrences(std::string_view pattern, int start, int max,
                               std::vector<int>* positions) const {
    if (positions != nullptr) positions->clear();
    if (pattern.empty()) return 0;  // an empty pattern would "occur" at the same place forever
    const int limit = std::min(max, kOccurrenceLimit);
    const int step = static_cast<int>(pattern.size());
    int count = 0;
    for (int from = start; count < limit;) {
        const int at = Find(pattern, from);
        if (at < 0) break;
        if (positions != nullptr) positions->push_back(at);
        ++count;
        from = at + step;
    }
    return count;
}

int GbString::Replace(std::string_view from, std::string_view to, int start, int maxCount) {
    if (start < 0 || start > Length() || from.empty()) return 0;
    std::vector<int> positions;
    const int count = CountOccurrences(from, start, maxCount < 0 ? kDefaultReplaceLimit : maxCount, &positions);
    if (count == 0) return 0;

    // Built into a new buffer, so `to` and `from` may be views into this string.
    std::string result;
    result.reserve(bytes_.size() - from.size() * positions.size() + to.size() * positions.size());
    std::size_t done = 0;
    for (const int at : positions) {
        result.append(bytes_, done, static_cast<std::size_t>(at) - done);
        result.append(to.data(), to.size());
        done = static_cast<std::size_t>(at) + from.size();
    }
    result.append(bytes_, done, std::string::npos);
    bytes_.swap(result);
    return count;
}

void GbString::SetNumber(int v, bool append) {
    const std::string digits = std::to_string(v);
    if (append) Append(digits); else Assign(digits);
}

void GbString::SetPadded(int v, std::string_view zeroTemplate, bool append) {
    std::string padded(zeroTemplate);
    padded += std::to_string(v);
    const std::string_view kept = std::string_view(padded).substr(padded.size() - zeroTemplate.size());
    if (append) Append(kept); else Assign(kept);
}

int GbString::CharCount() const {
    const int len = Length();
    const char* s = bytes_.data();
    int count = 0;
    for (int i = 0; i < len; i += IsGbkLeadByte(Byte(s, i)) ? 2 : 1) ++count;
    return count;
}

void GbString::MakeLower() {
    const int len = Length();
    for (int i = 0; i < len; ++i) {
        const unsigned char b = Byte(bytes_.data(), i);
        if (IsGbkLeadByte(b)) {
            ++i;  // spare the trail byte too
        } else if (b >= 'A' && b <= 'Z') {
            bytes_[static_cast<std::size_t>(i)] = static_cast<char>(b + ('a' - 'A'));
        }
    }
}

void GbString::MakeUpper() {
    const int len = Length();
    for (int i = 0; i < len; ++i) {
        const unsigned char b = Byte(bytes_.data(), i);
        if (IsGbkLeadByte(b)) {
            ++i;
        } else if (b >= 'a' && b <= 'z') {
            bytes_[static_cast<std::size_t>(i)] = static_cast<char>(b - ('a' - 'A'));
        }
    }
}

void GbString::TrimRight() {
    const std::size_t keep = bytes_.find_last_not_of(" \t\r\n");
    bytes_.resize(keep == std::string::npos ? 0 : keep + 1);
}

bool GbString::Equals(std::string_view text) const { return Terminated(bytes_) == Terminated(text); }

bool GbString::Equals(const char* text) const {
    return text != nullptr && Equals(std::string_view(text));
}

// std::string_view compares its chars as unsigned bytes, as the C library's strcmp does.
bool GbString::Less(std::string_view text) const { return Terminated(bytes_) < Terminated(text); }

bool GbString::Greater(std::string_view text) const { return Terminated(bytes_) > Terminated(text); }

int LastPathSeparator(std::string_view path) {
    int last = -1;
    for (std::size_t i = 0; i < path.size(); i += GbkCharSize(path, i)) {
        if (path[i] == '\\' || path[i] == '/') last = static_cast<int>(i);
    }
    return last;
}

GbString DirectoryPart(std::string_view path) {
    const int last = LastPathSeparator(path);
    return last < 0 ? GbString() : GbString(path.substr(0, static_cast<std::size_t>(last)));
}

GbString DirectoryWithSeparator(std::string_view path) {
    return GbString(path.substr(0, static_cast<std::size_t>(LastPathSeparator(path) + 1)));
}

GbString NamePart(std::string_view path) {
    return GbString(path.substr(static_cast<std::size_t>(LastPathSeparator(path) + 1)));
}

bool EndsWithPathSeparator(std::string_view path) {
    return !path.empty() && LastPathSeparator(path) == static_cast<int>(path.size()) - 1;
}

}  // namespace quillax
