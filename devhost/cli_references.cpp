// References and chapter keys: the ref, brackets and key subcommands of quillax-cli.
#include <cstdio>
#include <vector>

#include "devhost/cli_commands.h"
#include "devhost/cli_text.h"
#include "devhost/installation.h"
#include "textlib/chapter_keys.h"
#include "textlib/text_helpers.h"

namespace quillax::cli {

namespace {

void PrintKeyMeaning(const RenderState& state, const GbString& key) {
    const int number = IsChapterKey(key, false);
    if (number == 0) {
        PrintLine("   (no such chapter)");
        return;
    }
    const int book = number / 1000;
    PrintLine("   (" + state.bookNames[book - 1] + " " + DecimalText(number % 1000) + ")");
}

}  // namespace

int RunRef(const GbString& installDir, const std::vector<GbString>& refs) {
    RenderState state;
    if (!LoadInstallation(installDir, state)) return 1;
    GbString linkKey;
    ReferenceContext context{state.bookNameText, state.cmpStr, state.lastBook, linkKey};
    for (const GbString& ref : refs) {
        const GbString key = ChapterKeyFromReference(ref, false, context);
        Print(key + "  " + ref);
        PrintKeyMeaning(state, key);
    }
    return 0;
}

int RunBrackets(const GbString& installDir, const GbString& text, const GbString& defaultKey) {
    RenderState state;
    if (!LoadInstallation(installDir, state)) return 1;
    GbString linkKey;
    ReferenceContext context{state.bookNameText, state.cmpStr, state.lastBook, linkKey};
    GbString linked = text;
    const int links = LinkBracketReferences(linked, defaultKey, context);
    PrintLine(linked);
    std::printf("(%d link%s)\n", links, links == 1 ? "" : "s");
    return 0;
}

int RunKey(const std::vector<GbString>& keys) {
    for (const GbString& key : keys) {
        const int number = IsChapterKey(key, false);
        const bool accepted = IsChapterKey(key, true) != 0;
        GbString line = key + "  ";
        if (number != 0) {
            line += "chapter key: book " + DecimalText(number / 1000) + ", chapter " +
                    DecimalText(number % 1000);
        } else if (accepted) {
            line += "special key";
        } else {
            line += "not a chapter key";
        }
        PrintLine(line);
    }
    return 0;
}

}  // namespace quillax::cli
