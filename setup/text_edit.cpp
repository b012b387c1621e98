#include "setup/text_edit.h"

namespace quillax {

int ReplaceAll(GbString& text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return 0;
    }
    const int step = static_cast<int>(from.size());
    int found = text.Find(from, 0);
    if (found < 0) {
        return 0;
    }
    // The result is built in one go. The search after a replacement resumes in the source at
    // the end of the replaced text, which is the same byte sequence the changed text holds
    // after the inserted text, so the positions found are those of replacing in place.
    GbString result;
    int count = 0;
    int copied = 0;
    while (found >= 0) {
        result.Append(text.Slice(copied, found - copied));
        result.Append(to);
        copied = found + step;
        ++count;
        found = text.Find(from, copied);
    }
    result.Append(text.Slice(copied));
    text = std::move(result);
    return count;
}

int DeleteAll(GbString& text, std::string_view pattern) { return ReplaceAll(text, pattern, ""); }

GbList SplitAll(std::string_view text, std::string_view separator) {
    GbList items;
    const GbString source(text);
    if (separator.empty()) {
        items.Add(text);
        return items;
    }
    const int step = static_cast<int>(separator.size());
    int start = 0;
    for (int found = source.Find(separator, 0); found >= 0; found = source.Find(separator, start)) {
        items.Add(source.Slice(start, found - start));
        start = found + step;
    }
    items.Add(source.Slice(start));
    return items;
}

void TrimBlanks(GbString& text) {
    int lead = 0;
    while (lead < text.Length() && text.GetAt(lead) == ' ') {
        ++lead;
    }
    text.Delete(0, lead);
    int end = text.Length();
    while (end > 0 && text.GetAt(end - 1) == ' ') {
        --end;
    }
    text.SetLength(end);
}

}  // namespace quillax
