#include "textlib/gb_list.h"

#include <algorithm>

namespace quillax {

namespace {

// Every position at which GbString::Find can report the separator. A one-byte separator or a
// single GBK character is found at character positions only, so those positions come from
// Find's own walk; any other separator matches at every byte position where its bytes occur.
std::vector<int> SeparatorPositions(const GbString& text, std::string_view separator) {
    const bool characterWise =
        separator.size() == 1 || (separator.size() == 2 && IsGbkLeadByte(static_cast<unsigned char>(separator[0])));
    const int step = characterWise ? static_cast<int>(separator.size()) : 1;
    std::vector<int> positions;
    for (int at = text.Find(separator, 0); at >= 0; at = text.Find(separator, at + step)) {
        positions.push_back(at);
    }
    return positions;
}

}  // namespace

GbList::GbList(std::string_view source, std::string_view separator, int mode) {
    Split(source, separator, mode);
}

int GbList::Split(std::string_view source, std::string_view separator, int /*mode*/) {
    // A copy first: source may be a view into an item of this very list.
    const GbString text(source);
    items_.clear();

    const int cuts = text.CountOccurrences(separator, 0, kSplitLimit);
    items_.resize(static_cast<std::size_t>(cuts) + 1);
    if (cuts == 0) {
        items_[0] = text;
        return 1;
    }

    // Cut from the end: the last separator that ends at or before the current end starts the
    // last item still to be cut. With more than kSplitLimit separators the first ones stay
    // inside item 0.
    const std::vector<int> positions = SeparatorPositions(text, separator);
    const int sepLength = static_cast<int>(separator.size());
    int end = text.Length();
    auto next = positions.rbegin();
    for (int item = cuts; item > 0; --item) {
        while (next != positions.rend() && *next + sepLength > end) ++next;
        if (next == positions.rend()) break;  // cannot happen: cuts separators were counted
        items_[static_cast<std::size_t>(item)].Assign(text.Slice(*next + sepLength, end - *next - sepLength));
        end = *next;
        ++next;
    }
    items_[0].Assign(text.Slice(0, end));
    return Count();
}

const GbString* GbList::Get(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return &items_[static_cast<std::size_t>(i)];
}

GbString* GbList::Get(int i) {
    if (i < 0 || i >= Count()) return nullptr;
    return &items_[static_cast<std::size_t>(i)];
}

const GbString& GbList::operator[](int i) const {
    static const GbString empty;
    const GbString* item = Get(i);
    return item != nullptr ? *item : empty;
}

}  // namespace quillax
