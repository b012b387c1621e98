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

// The removals of CleanRecord build the result in one pass. Each gives the text that removing
// the spans one after the other in place would give: after a removal the search goes on in the
// bytes that followed the span, which the source holds unchanged, so positions found in the
// source are the positions the in-place edit would find. The result collects the kept bytes;
// `copied` is the first source byte not yet taken.
class SpanRemover {
public:
    explicit SpanRemover(const GbString& source) : source_(source) {}

    // Removes source bytes [start, end); start must not be before the previous end.
    void Remove(int start, int end) {
        result_.Append(source_.Slice(copied_, start - copied_));
        copied_ = end;
        removed_ = true;
    }
    int Copied() const { return copied_; }
    // Where source position p stands in the edited text.
    int EditedPosition(int p) const { return result_.Length() + (p - copied_); }

    // Puts the edited text into record (the source), when anything was removed.
    void Finish(GbString& record) {
        if (!removed_) {
            return;
        }
        result_.Append(source_.Slice(copied_));
        record = std::move(result_);
    }

private:
    const GbString& source_;
    GbString result_;
    int copied_ = 0;
    bool removed_ = false;
};

// Repeatedly removes the span from an `open` mark through the next `close` mark. With
// skipFirstByte, an `open` at position 0 of the edited record ends the removals (it is the
// record's own text).
void RemoveSpans(GbString& record, std::string_view open, std::string_view close, bool skipFirstByte) {
    SpanRemover edit(record);
    for (int from = 0;;) {
        const int start = record.Find(open, from);
        if (start < 0 || (skipFirstByte && edit.EditedPosition(start) == 0)) {
            break;
        }
        const int end = record.Find(close, start);
        if (end < 0) {
            break;
        }
        edit.Remove(start, end + static_cast<int>(close.size()));
        // Nothing before the span holds the mark, so the next search may begin after it.
        from = edit.Copied();
    }
    edit.Finish(record);
}

// Note spans "'0 ... '1": every "'0" after the first byte of the edited record goes with
// everything up to and including the next "'1". The search for the next "'0" goes on one byte
// after the place of the last one found (in the edited record: after a removal, one byte past
// the span).
void RemoveNoteSpans(GbString& record) {
    SpanRemover edit(record);
    for (int i = record.Find("'0", 0); i >= 0 && edit.EditedPosition(i) > 0;) {
        const int j = record.Find("'1", i);
        if (j < 0) {
            break;  // no "'1" after this one, so none after any later "'0" either
        }
        edit.Remove(i, j + 2);
        i = record.Find("'0", edit.Copied() + 1);
    }
    edit.Finish(record);
}

// Grave accents after the first byte of the edited record, each with the ASCII digits right
// after it.
void RemoveGraveAccents(GbString& record) {
    SpanRemover edit(record);
    for (int i = record.Find("`", 0); i >= 0 && edit.EditedPosition(i) > 0; i = record.Find("`", edit.Copied())) {
        int end = i + 1;
        while (end < record.Length() && IsAsciiDigit(record.GetAt(end))) {
            ++end;
        }
        edit.Remove(i, end);
    }
    edit.Finish(record);
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

    RemoveNoteSpans(record);

    for (const GbString& entry : StripList()) {
        DeleteAll(record, entry);
    }
    ReplaceAll(record, "$", "#");

    RemoveGraveAccents(record);
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
