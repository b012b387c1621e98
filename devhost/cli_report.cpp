// The report of quillax-cli on an installation: the settings, lists, books and keys the engine
// read from its bible.ini.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/cli_commands.h"
#include "devhost/cli_text.h"
#include "engine/config/configuration.h"
#include "platform/code_page.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"
#include "textlib/text_helpers.h"

namespace quillax::cli {

namespace {

// One setting: its key, the value in effect and, when it reads differently, the file's text.
void PrintSetting(const RenderState& state, std::string_view key, const GbString& effect,
                  std::string_view unit = {}) {
    const GbString raw = ReadConfigValue(state, key);
    GbString line = "  " + Padded(key, 16) + effect;
    if (!unit.empty()) line += unit;
    if (raw != effect) line += "   (file: \"" + raw + "\")";
    PrintLine(line);
}

GbString Joined(const GbList& list) {
    GbString out;
    for (int i = 0; i < list.Count(); ++i) {
        if (i > 0) out += ",";
        out += list[i];
    }
    return out;
}

void PrintIndexedList(std::string_view title, const GbList& list) {
    PrintLine(GbString(title) + " (" + DecimalText(list.Count()) + " items)");
    for (int i = 0; i < list.Count(); ++i) {
        GbString index = DecimalText(i);
        while (index.Length() < 3) index.Insert(0, " ");
        PrintLine("  [" + index + "] " + list[i]);
    }
}

// Keys of the file: "NAME=" at the start of a line, in file order, without repeats.
std::vector<GbString> FileKeys(const GbString& text) {
    std::vector<GbString> keys;
    int lineStart = 0;
    while (lineStart < text.Length()) {
        int i = lineStart;
        while (i < text.Length()) {
            const unsigned char c = text.GetAt(i);
            if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
                ++i;
            } else {
                break;
            }
        }
        if (i > lineStart && text.GetAt(i) == '=') {
            GbString key(text.Slice(lineStart, i + 1 - lineStart));
            bool seen = false;
            for (const GbString& k : keys) seen = seen || k == key;
            if (!seen) keys.push_back(key);
        }
        const int next = text.Find("\n", lineStart);
        if (next < 0) break;
        lineStart = next + 1;
    }
    return keys;
}

void PrintBooks(const RenderState& state) {
    PrintLine("Books (CCNAME, CNAME): number, chapters, abbreviation, name");
    int lastBook = 0;
    GbString linkKey;
    ReferenceContext context{state.bookNameText, state.cmpStr, lastBook, linkKey};
    int mismatches = 0;
    for (int book = 1; book <= kBookCount; ++book) {
        GbString abbreviation(state.bookNameText.Slice((book - 1) * 5, 4));
        // The abbreviation must lead back to its own book when a reader writes it.
        GbString written = abbreviation;
        if (written.Slice(2) == "。") written.SetLength(2);
        GbString check;
        if (!written.IsEmpty()) {
            check = ChapterKeyFromReference(written + "1:1", false, context);
        }
        const bool ok = check == MakeChapterKey(book * 1000LL + 1);
        GbString line = "  " + Padded(DecimalText(book), 3) + Padded(DecimalText(ChapterCount(book)), 5) +
                        Padded(abbreviation, 6) + state.bookNames[book - 1];
        if (!ok) {
            line += "   ! the abbreviation leads to " +
                    (check.IsEmpty() ? GbString("nothing") : "key " + check);
            ++mismatches;
        }
        PrintLine(line);
    }
    if (state.bookNames.Count() != kBookCount) {
        PrintLine("  ! CCNAME has " + DecimalText(state.bookNames.Count()) + " names, not 66");
    }
    if (state.bookNameText.Length() < kBookCount * 5) {
        PrintLine("  ! CNAME has " + DecimalText(state.bookNameText.Length()) +
                  " bytes, not 330 (66 x 5)");
    }
    if (mismatches > 0) {
        PrintLine("  ! " + DecimalText(mismatches) + " abbreviations do not lead to their own book");
    }
}

}  // namespace

void PrintReport(RenderState& state) {
    PrintLine("Installation");
    PrintLine("  configuration directory  " + state.installDir);
    PrintLine("  build label              " +
              (state.buildLabel.IsEmpty() ? GbString("(no registered engine library)")
                                          : state.buildLabel));
    if (!state.aboutText.IsEmpty()) PrintLine("  about text               " + state.aboutText);
    PrintLine("  bible.css                " + DecimalText(state.pageHeader.Length()) +
              " bytes of page header");
    PrintLine("  quillets.js              " + DecimalText(static_cast<long long>(state.scriptText.size())) +
              " characters of popup script");
    PrintLine("");

    PrintLine("Settings (value in effect)");
    PrintSetting(state, "LANGUAGE=", GbString(platform::Utf16ToGbk(state.charset)));
    PrintSetting(state, "SCROLLFUNC=", GbString(platform::Utf16ToGbk(state.scrollScript)));
    PrintSetting(state, "TXTSYSPTH=", state.systemTextDir);
    PrintSetting(state, "SEARCH=", state.lastSearch);
    PrintSetting(state, "EXCLUSIVE=", state.lastExclusions);
    PrintSetting(state, "CNAME=", state.bookNameText);
    PrintSetting(state, "SYSKEY=", state.systemModules);
    PrintSetting(state, "LINKCTRL=", state.linkControl);
    PrintSetting(state, "EQUATEFILE=", Joined(state.parallelModules));
    PrintSetting(state, "MAXWINDOWWIDTH=", ReadConfigValue(state, "MAXWINDOWWIDTH="),
                 "   (popup width " + std::to_string(state.maxPopupWidth) + " px)");
    PrintSetting(state, "TUPER=", Real(state.pictureScale));
    PrintSetting(state, "READMODEL=", DecimalText(state.readModel));
    PrintSetting(state, "SONGWIDTH=", DecimalText(state.songWidth));
    PrintSetting(state, "SCROLLSPEED=", DecimalText(state.scrollSpeed), " ms");
    PrintSetting(state, "USEGBK=", DecimalText(state.useGbk));
    PrintSetting(state, "EXTENDNOTE=", DecimalText(state.extendNote));
    PrintSetting(state, "MAXSEARCH=", DecimalText(state.maxSearch));
    PrintSetting(state, "OPENDELAYTIME=", DecimalText(state.openDelay), " ms");
    PrintSetting(state, "CLOSEDELAYTIME=", DecimalText(state.closeDelay), " ms");
    PrintSetting(state, "SUBSTITUTE=", DecimalText(state.substitute));
    PrintLine("");

    PrintIndexedList("Background colours (CSSBGCOLOR)", state.cssBgColors);
    PrintIndexedList("Table widths by IE font size, template at 5 (TABLETDWIDTH)",
                     state.tableWidths);
    PrintLine("");
    PrintIndexedList("Vocabulary (CMPSTR)", state.cmpStr);
    PrintLine("");
    PrintBooks(state);
    PrintLine("");

    PrintLine("Conversion corrections (WORD_GB2 -> WORD_GBK)");
    const int pairs = std::max(state.simplifiedWords.Count(), state.traditionalWords.Count());
    for (int i = 0; i < pairs; ++i) {
        PrintLine("  " + Padded(state.simplifiedWords[i], 12) + state.traditionalWords[i]);
    }
    PrintLine("");

    // Picture tables and whatever else the file holds that the engine does not load.
    const std::vector<GbString> keys = FileKeys(state.configText);
    PrintLine("Picture tables (TU + group)");
    for (const GbString& key : keys) {
        if (key.Length() == 5 && key.Slice(0, 2) == "TU") {
            const GbString group(key.Slice(2, 2));
            PrintLine("  " + group + "  " + PictureTable(state, group));
        }
    }
    PrintLine("");
    static const char* const kKnown[] = {
        "LANGUAGE=", "SCROLLFUNC=", "TXTSYSPTH=", "SEARCH=", "EXCLUSIVE=", "CNAME=", "SYSKEY=",
        "LINKCTRL=", "EQUATEFILE=", "MAXWINDOWWIDTH=", "TUPER=", "READMODEL=", "SONGWIDTH=",
        "SCROLLSPEED=", "USEGBK=", "EXTENDNOTE=", "MAXSEARCH=", "OPENDELAYTIME=",
        "CLOSEDELAYTIME=", "SUBSTITUTE=", "CSSBGCOLOR=", "CCNAME=", "CMPSTR=", "TABLETDWIDTH=",
        "WORD_GB2=", "WORD_GBK="};
    PrintLine("Other keys of the file");
    for (const GbString& key : keys) {
        bool known = key.Length() == 5 && key.Slice(0, 2) == "TU";
        for (const char* k : kKnown) known = known || key == std::string_view(k);
        if (!known) PrintLine("  " + Padded(key, 16) + ReadConfigValue(state, key));
    }
}

}  // namespace quillax::cli
