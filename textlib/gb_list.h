// GbList: a list of texts made by splitting a text at a separator.
//
// Lists are read far more often than they are made (the vocabulary list is indexed by number
// in every page), so reading is cheap and forgiving: operator[] gives an empty text for an
// index out of range, Get() a null pointer.
#pragma once

#include <string_view>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {

class GbList {
public:
    // The two split modes of the program. Mode 4 kept each item as a string of its own and
    // mode 5 (one-byte separators) cut one shared copy of the source at the separators; both
    // give the same items. Here every item is a GbString of its own in either mode, the source
    // is left unchanged, and the mode is kept only so that callers can state it.
    static constexpr int kSplitOwnItems = 4;
    static constexpr int kSplitSharedBuffer = 5;
    // At most this many separators cut the text (so at most kSplitLimit + 1 items).
    static constexpr int kSplitLimit = 2049;

    GbList() = default;
    // Same as Split(source, separator, mode) on an empty list.
    GbList(std::string_view source, std::string_view separator, int mode = kSplitOwnItems);

    // Replaces the content by the items of source cut at separator and returns Count().
    // n = CountOccurrences(separator, 0, kSplitLimit) + 1 items are cut from the end: the last
    // separator before the current end starts the last item, and so on, and item 0 is the text
    // before the separator that cut item 1. With more than kSplitLimit separators item 0 thus
    // holds the rest of the text, separators included. An empty source gives one empty item,
    // a source starting with the separator an empty item 0, and a text without the separator
    // one item equal to the text. Separators are found as GbString::Find finds them (a
    // one-byte separator never at a trail byte), so the cut positions are the counted ones.
    int Split(std::string_view source, std::string_view separator, int mode = kSplitOwnItems);

    // The item at i, or null when i is outside 0..Count()-1.
    const GbString* Get(int i) const;
    GbString* Get(int i);
    // The item at i, or an empty text when i is outside 0..Count()-1.
    const GbString& operator[](int i) const;

    int Count() const { return static_cast<int>(items_.size()); }
    void Clear() { items_.clear(); }
    // Appends one item (for lists built by hand).
    void Add(std::string_view text) { items_.emplace_back(text); }

    std::vector<GbString>::const_iterator begin() const { return items_.begin(); }
    std::vector<GbString>::const_iterator end() const { return items_.end(); }

private:
    std::vector<GbString> items_;
};

}  // namespace quillax
