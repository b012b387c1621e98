#include "setup/main_text.h"

#include "platform/files.h"
#include "textlib/line_reader.h"
#include "setup/text_edit.h"

namespace quillax {

namespace {

// The strip list as the program writes it: the entries separated by ",". The last entry is two
// ideographic spaces.
constexpr std::string_view kStripListText =
    "<hr>,<i>,</i>, ,%,^,@,#,'z,'1,'2,'3,'4,'5,'6,'7,'8,'9,'0,'a,'b,{,},[,],_,　　";

bool IsAsciiDigit(unsigned char b) { return b >= '0' && b <= '9'; }

// Repeatedly removes the span from an `open` mark through the next `close` mark. With
// skipFirstByte, an `open` at position 0 ends the removals (it is the record's own text).
void RemoveSpans(GbString& record, std::string_view open, std::string_view close, bool skipFirstByte) {
    int from = 0;
    for (;;) {
        const int start = record.Find(open, from);
        if (start < 0 || (skipFirstByte && start == 0)) {
            return;
        }
        const int end = record.Find(close, start);
        if (end < 0) {
            return;
        }
        record.Delete(start, end - start + static_cast<int>(close.size()));
        // Nothing before start holds the mark, so the next search may begin there.
        from = start;
    }
}

}  // namespace

const GbList& StripList() {
    static const GbList list = SplitAll(kStripListText, ",");
    return list;
}

void CleanRecord(GbString& record, GbString& output) {
    if (record.IsEmpty()) {
        return;
    }
    ReplaceAll(record, "'a", "'0");

    // Note spans "'0 ... '1"; a "'0" at the very start ends the search.
    for (int i = record.Find("'0", 0); i > 0; i = record.Find("'0", i + 1)) {
        const int j = record.Find("'1", i);
        if (j > i) {
            record.Delete(i, j - i + 2);
        }
    }

    for (const GbString& entry : StripList()) {
        DeleteAll(record, entry);
    }
    ReplaceAll(record, "$", "#");

    // Grave accents with the digits that follow them.
    for (int i = record.Find("`", 0); i > 0; i = record.Find("`", i)) {
        int end = i + 1;
        while (end < record.Length() && IsAsciiDigit(record.GetAt(end))) {
            ++end;
        }
        record.Delete(i, end - i);
    }

    RemoveSpans(record, "<", ">", true);
    ReplaceAll(record, ":=", "=");
    ReplaceAll(record, "'e", "{");
    ReplaceAll(record, "'f", "}");
    DeleteAll(record, "\\");
    DeleteAll(record, "|");
    RemoveSpans(record, "{", "}", false);

    record.Append('\n');
    output.Append(record);
    record.Empty();
}

void DeriveMainText(std::string_view configDir) {
    const GbString dir(configDir);
    LineReader reader(dir + "sys\\Tessaly.txt");
    GbString output;
    GbString record;
    GbString line;
    bool keep = false;
    while (!reader.AtEnd()) {
        reader.ReadLine(line);
        const int p = line.Find(":=", 0);
        if (p > 0) {
            keep = p == 5;
            CleanRecord(record, output);
        }
        if (keep) {
            record.Append(line);
        }
    }
    CleanRecord(record, output);
    platform::WriteWholeFile(dir + "sys\\corpa.txt", output);
}

}  // namespace quillax
