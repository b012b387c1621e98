#include "engine/pages/picture_page.h"

#include <climits>
#include <string_view>

#include "engine/config/configuration.h"
#include "textlib/text_helpers.h"

namespace quillax {

namespace {

// A product of a number and a scale factor, truncated toward zero and kept inside int.
int TruncatedProduct(double factor, int value) {
    const double product = factor * static_cast<double>(value);
    if (!(product < static_cast<double>(INT_MAX))) return product != product ? 0 : INT_MAX;
    if (!(product > static_cast<double>(INT_MIN))) return INT_MIN;
    return static_cast<int>(product);
}

// Scales the number that starts at `at` (after an optional double quote) by factor; returns the
// position behind it. Text without digits there stays as it is.
int ScaleNumberAt(GbString& text, int at, double factor) {
    if (text.GetAt(at) == '"') ++at;
    int end = at;
    while (text.GetAt(end) >= '0' && text.GetAt(end) <= '9') ++end;
    if (end == at) return at;
    const GbString scaled = DecimalText(TruncatedProduct(factor, ToInt(text.Slice(at, end - at))));
    text.Delete(at, end - at);
    text.Insert(at, scaled);
    return at + scaled.Length();
}

}  // namespace

GbString PicturePage(RenderState& state, const GbString& number) {
    const GbString group(number.Slice(0, 2));
    const GbString table = PictureTable(state, group);

    // The character of an entry that changes from one row of pictures to the next: the row
    // digit of the code, found after the group (maps) or before the "-" (pictures).
    int row = 0;
    if (group.Less("11")) {
        row = table.GetAt(15) != table.GetAt(2) ? 3 : 2;
    } else {
        row = table.Find("-") - 1;
    }

    GbString page("<table border=0 cellpadding=0 cellspacing=0>");
    const int last = table.ReverseFind(";");
    int previousRow = -1;
    for (int at = 0; at < last;) {
        const int equals = table.Find("=", at);
        const int comma = equals < 0 ? -1 : table.Find(",", equals + 1);
        const int end = comma < 0 ? -1 : table.Find(";", comma + 1);
        if (end < 0 || end > last) break;
        const int rowChar = table.GetAt(at + row);
        if (rowChar != previousRow) page += "</tr>\n<tr>";
        previousRow = rowChar;
        const std::string_view name = table.Slice(at, equals - at);
        const int width = ToInt(table.Slice(equals + 1, comma - equals - 1));
        const int height = ToInt(table.Slice(comma + 1, end - comma - 1));
        page += "<td><img src=";
        page += state.installDir;
        page += "pic\\tu";
        page += name;
        page += ".jpg name=";
        page += name;
        page += " width=";
        page += DecimalText(TruncatedProduct(state.pictureScale, width));
        page += " height=";
        page += DecimalText(TruncatedProduct(state.pictureScale, height));
        page += " border=0></td>";
        at = end + 1;
    }
    page.Replace("</tr>", "", 0, 1);
    page += "</tr></table>";
    return page;
}

GbString ZoomedPicturePage(GbString body, bool larger) {
    // Each image's height is followed by its width in the browser's markup.
    const double factor = larger ? 1.1 : 0.9;
    constexpr std::string_view kHeight = "height=";
    constexpr std::string_view kWidth = "width=";
    int from = 0;
    for (;;) {
        const int height = body.Find(kHeight, from);
        if (height < 0) break;
        from = ScaleNumberAt(body, height + static_cast<int>(kHeight.size()), factor);
        const int width = body.Find(kWidth, from);
        if (width < 0) continue;
        from = ScaleNumberAt(body, width + static_cast<int>(kWidth.size()), factor);
    }
    return body;
}

}  // namespace quillax
