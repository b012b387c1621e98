// GbString: the byte string of GBK (code page 936) text used throughout the program.
//
// A GBK text mixes one-byte characters with two-byte characters whose first (lead) byte is
// 0x81-0xFE; the second (trail) byte may be an ASCII value such as "@", "|" or "\". The
// searches of GbString are aware of this so that a one-byte pattern never matches the trail
// byte of a Chinese character.
//
// Every walk over GBK text follows GBK's own rule (IsGbkLeadByte, at the end of this file):
// 0x81-0xFE lead a two-byte character, 0x80 and 0xFF stand alone. The path helpers there split
// paths whose separators may be the trail byte of a character.
//
// Positions, lengths and counts are in bytes and use `int`, as all callers do. The length is
// kept explicitly, so a text may hold 0 bytes; the comparisons `Equals`, `Less` and `Greater`
// look only at the bytes before the first 0 byte (the "terminated" text), the operators ==
// and != compare all bytes.
//
// Every operation that takes text takes a std::string_view: a GbString, a std::string and a
// string literal all convert to it. A view into the string itself may be passed (for example
// s.Append(s)); the operations copy before they modify.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quillax {

// The search of GbString::Find over any bytes: the position of pattern in text at or after
// `from`, or -1, with the same rules (see GbString::Find). For callers that hold a part of a
// text as a view.
int FindInText(std::string_view text, std::string_view pattern, int from = 0);

class GbString {
    template <class T>
    using IfText = std::enable_if_t<std::is_convertible_v<const T&, std::string_view>>;
    template <class T>
    using IfNotGbString = std::enable_if_t<!std::is_same_v<T, GbString>>;

public:
    // Replace() without an explicit maximum replaces at most this many occurrences.
    static constexpr int kDefaultReplaceLimit = 2049;
    // CountOccurrences() never counts more occurrences than this.
    static constexpr int kOccurrenceLimit = 8192;

    GbString() = default;
    GbString(const char* text);  // a null pointer gives the empty text
    GbString(std::string_view text);
    GbString(const char* bytes, std::size_t count);
    GbString(std::string text);

    // --- access ---------------------------------------------------------------------------
    int Length() const { return static_cast<int>(bytes_.size()); }
    std::size_t size() const { return bytes_.size(); }
    bool IsEmpty() const { return bytes_.empty(); }
    const char* c_str() const { return bytes_.c_str(); }
    // Writable bytes, always followed by a terminating 0 byte; see SetLength/ReleaseBuffer.
    char* data() { return bytes_.data(); }
    const char* data() const { return bytes_.data(); }
    std::string_view view() const { return bytes_; }
    const std::string& str() const { return bytes_; }
    operator std::string_view() const noexcept { return bytes_; }

    // The byte at i as a value 0..255; 0 when i is outside 0..Length()-1.
    unsigned char GetAt(int i) const;
    // A view of n bytes from i (n < 0: to the end), clipped to the text; empty when i is
    // outside 0..Length()-1. Never throws.
    std::string_view Slice(int i, int n = -1) const;

    // --- whole-text changes ---------------------------------------------------------------
    void Assign(std::string_view text);
    void Append(std::string_view text);
    void Append(char byte);
    void Empty() { bytes_.clear(); }
    // Sets the length to n (n < 0 counts as 0). Bytes added by growing are 0 bytes; write
    // them through data().
    void SetLength(int n);
    // Recomputes the length from the first 0 byte, after the bytes were written through
    // data(). The grow step of the original buffer scheme has no meaning here and is ignored.
    void ReleaseBuffer(int growStep = 0);

    // Inserts text at i; no change when i < 0 or i > Length().
    void Insert(int i, std::string_view text);
    // Removes n bytes at i (n < 0: everything from i; n clipped to the end). No change when
    // i is outside 0..Length()-1 or n is 0.
    void Delete(int i, int n);

    // These set the text to a part of src, or append that part when append is true.
    // Left: the first n bytes (n < 0: all). Right: the last n bytes (n < 0: all).
    // Mid: n bytes from i (n < 0: to the end); i outside 0..len(src)-1 gives nothing.
    void Left(std::string_view src, int n, bool append = false);
    void Right(std::string_view src, int n, bool append = false);
    void Mid(std::string_view src, int i, int n, bool append = false);

    // --- search and replace ----------------------------------------------------------------
    // Position of pattern at or after `from`, or -1. Returns -1 when from < 0 or
    // from >= Length(); otherwise an empty pattern gives 0.
    //  - one-byte pattern: the text is walked character by character from `from` (a lead
    //    byte, IsGbkLeadByte, and the byte after it are one character); the pattern is compared
    //    with the first byte of each character only, so it never matches a trail byte;
    //  - two-byte pattern whose first byte is a lead byte (one GBK character): compared only
    //    at the positions of double-byte characters of that walk;
    //  - any other pattern: plain byte-wise search (it may match across characters).
    int Find(std::string_view pattern, int from = 0) const;
    // Last position p <= before (before < 0: the end) where pattern occurs, byte-wise, or -1.
    // An empty pattern gives min(before, Length()).
    int ReverseFind(std::string_view pattern, int before = -1) const;
    // Number of non-overlapping occurrences found by Find from `start` onwards, left to
    // right, at most `max` and at most kOccurrenceLimit. Their positions are stored in
    // *positions when given. An empty pattern has no occurrences.
    int CountOccurrences(std::string_view pattern, int start, int max,
                         std::vector<int>* positions = nullptr) const;
    // Replaces the occurrences that CountOccurrences(from, start, limit) finds by `to`,
    // where limit is maxCount, or kDefaultReplaceLimit when maxCount < 0. No change when
    // start < 0 or start > Length() or `from` is empty. Returns the number replaced.
    int Replace(std::string_view from, std::string_view to, int start = 0, int maxCount = -1);

    // --- formatting --------------------------------------------------------------------------
    // Decimal text of v.
    void SetNumber(int v, bool append = false);
    // Zero padding: the template ("000") followed by the decimal v, of which only the last
    // len(template) bytes are kept: 7 with "000" gives "007", 1234 with "000" gives "234".
    void SetPadded(int v, std::string_view zeroTemplate, bool append = false);

    // --- characters --------------------------------------------------------------------------
    // Number of characters: a lead byte starts a two-byte character. A lead byte at the very
    // end counts as one character.
    int CharCount() const;
    // ASCII letters only; a lead byte and the byte after it are left alone, so the trail byte
    // of a Chinese character is never changed.
    void MakeLower();
    void MakeUpper();
    // Removes trailing blanks, tabs, CR and LF.
    void TrimRight();

    // --- comparison ----------------------------------------------------------------------------
    // Byte-wise (unsigned) comparison of the terminated texts: the bytes before the first 0
    // byte of each. Equals with a null pointer is false.
    bool Equals(std::string_view text) const;
    bool Equals(const char* text) const;
    bool Less(std::string_view text) const;
    bool Greater(std::string_view text) const;

    // --- operators ------------------------------------------------------------------------------
    // == and != compare all bytes. They accept anything that converts to a string_view (a
    // GbString, a std::string, a literal) on either side.
    GbString& operator+=(std::string_view text) { Append(text); return *this; }
    GbString& operator+=(char byte) { Append(byte); return *this; }

    template <class T, class = IfText<T>>
    friend bool operator==(const GbString& a, const T& b) { return a.view() == std::string_view(b); }
    template <class T, class = IfText<T>, class = IfNotGbString<T>>
    friend bool operator==(const T& a, const GbString& b) { return std::string_view(a) == b.view(); }
    template <class T, class = IfText<T>>
    friend bool operator!=(const GbString& a, const T& b) { return !(a == b); }
    template <class T, class = IfText<T>, class = IfNotGbString<T>>
    friend bool operator!=(const T& a, const GbString& b) { return !(b == a); }

    // Byte-wise order of all bytes, for sorted containers.
    friend bool operator<(const GbString& a, const GbString& b) { return a.bytes_ < b.bytes_; }

    template <class T, class = IfText<T>>
    friend GbString operator+(const GbString& a, const T& b) {
        GbString result(a);
        result.Append(std::string_view(b));
        return result;
    }
    template <class T, class = IfText<T>, class = IfNotGbString<T>>
    friend GbString operator+(const T& a, const GbString& b) {
        GbString result{std::string_view(a)};
        result.Append(b.view());
        return result;
    }

private:
    bool Aliases(std::string_view text) const;

    std::string bytes_;
};

// --- GBK characters and paths -----------------------------------------------------------------
// A byte that starts a two-byte GBK character: 0x81-0xFE. Every other byte, 0x80 and 0xFF
// included, is a character of its own.
constexpr bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Bytes of the character that starts at `at`: 2 for a lead byte with a byte after it, else 1
// (a lead byte at the very end stands alone).
inline std::size_t GbkCharSize(std::string_view text, std::size_t at) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// Position of the last "\" or "/" of a path that is not the trail byte of a GBK character, or
// -1 when there is none.
int LastPathSeparator(std::string_view path);

// The path up to its last separator, without it ("a\b\c.lnk" gives "a\b"); empty when there
// is none.
GbString DirectoryPart(std::string_view path);

// The path up to and with its last separator ("a\b\c.lnk" gives "a\b\"); empty when there is
// none.
GbString DirectoryWithSeparator(std::string_view path);

// The part after the last separator ("a\b\c.lnk" gives "c.lnk"); the whole path when there is
// none.
GbString NamePart(std::string_view path);

// Whether the path ends with a separator that is not the trail byte of a GBK character.
bool EndsWithPathSeparator(std::string_view path);

}  // namespace quillax
