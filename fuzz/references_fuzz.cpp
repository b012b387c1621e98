// Fuzz target: the reference passes of running text (LinkifyReferences, the bracket pass) and
// PassageText, over the sample installation's texts with their indexes built once.
//
// Checked, for text without tags of its own: every link the parenthesis pass makes is
// "<a href=" + a valid chapter key + ">" ... "</a>"; the bracket pass opens as many links as it
// reports; a passage always starts with its heading and its reference text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/pages/passage_text.h"
#include "engine/pages/reference_links.h"
#include "engine/state/render_state.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/sample_state.h"
#include "setup/module_index.h"
#include "textlib/chapter_keys.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "references_fuzz";

using quillax::fuzzing::Count;

RenderState& State() {
    static RenderState* state = [] {
        const std::string config = fuzzing::ScratchDirectory() + "/cfg";
        if (!fuzzing::CopySampleInstallation(config)) Finding(kName, "the sample installation is missing");
        PrepareModules(config + "\\");
        auto* s = new RenderState;
        fuzzing::FillSampleState(*s, config + "\\");
        return s;
    }();
    return *state;
}

void CheckParenthesisLinks(std::string_view out) {
    if (Count(out, "<a href=") != Count(out, "</a>")) Finding(kName, "a link is not closed");
    for (std::size_t at = out.find("<a href="); at != std::string_view::npos;
         at = out.find("<a href=", at + 1)) {
        const std::size_t keyAt = at + 8;
        const std::size_t close = out.find('>', keyAt);
        if (close == std::string_view::npos) Finding(kName, "a link tag is not closed");
        if (IsChapterKey(out.substr(keyAt, close - keyAt), false) == 0) {
            Finding(kName, "a link names no chapter");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RenderState& state = State();
    FuzzedDataProvider input(data, size);
    const std::uint8_t mode = input.ConsumeIntegral<std::uint8_t>();
    const std::string key = input.ConsumeRandomLengthString(12);
    const std::string text = input.ConsumeRemainingBytesAsString();
    // Text and key (the bracket pass's default link target) without tags of their own.
    const bool plain = text.find_first_of("<>") == std::string::npos &&
                       key.find_first_of("<>") == std::string::npos;
    state.lastBook = 0;
    state.linkKey.Empty();

    switch (mode % 4) {
        case 0: {
            GbString out(text);
            LinkifyReferences(state, out, false);
            if (plain) CheckParenthesisLinks(out.view());
            break;
        }
        case 1: {
            GbString out(text);
            LinkifyReferences(state, out, true);
            break;
        }
        case 2: {
            GbString out(text);
            ReferenceContext context{state.bookNameText, state.cmpStr, state.lastBook, state.linkKey};
            const int opened = LinkBracketReferences(out, key, context);
            if (plain && Count(out.view(), "<a href=") != opened) {
                Finding(kName, "the bracket pass opened another number of links than it reports");
            }
            break;
        }
        default: {
            const GbString passage = PassageText(state, key, text);
            if (passage.IsEmpty()) Finding(kName, "an empty passage");
            break;
        }
    }
    if (state.busy) Finding(kName, "the engine stays busy");
    return 0;
}
