// Fuzz target: the text passes of the study and page code over hostile text: OblixPost (an
// outline entry), FixCopiedText (text copied out of a page) and CompactPage.
//
// Checked: an outline always gets its header and every link it adds is closed; copied text
// only ever shrinks (tags go, links become brackets); a compacted page records its state.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/pages/page_body.h"
#include "engine/pages/study_pages.h"
#include "engine/state/render_state.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/sample_state.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "page_text_fuzz";

using quillax::fuzzing::Count;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RenderState* state = [] {
        auto* s = new RenderState;
        fuzzing::FillSampleState(*s, fuzzing::ScratchDirectory() + "\\");
        return s;
    }();
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    state->lastBook = 0;
    state->linkKey.Empty();

    switch (data[0] % 3) {
        case 0: {
            GbString out(text);
            OblixPost(*state, out);
            const std::string prefix = "<font style=\"text-align:right\">" +
                                       std::string(state->cmpStr[39].view());
            if (out.view().substr(0, prefix.size()) != prefix) Finding(kName, "an outline lost its header");
            // Links of the input itself may be cut by the inserted ones; without any, every
            // link the outline gains is closed.
            const bool linkFree = text.find("a href") == std::string::npos &&
                                  text.find("/a") == std::string::npos;
            if (linkFree && Count(out.view(), "<a href=") != Count(out.view(), "</a>")) {
                Finding(kName, "an outline link is not closed");
            }
            break;
        }
        case 1: {
            const GbString out = FixCopiedText(text);
            if (out.size() > text.size()) Finding(kName, "copied text grew");
            break;
        }
        default: {
            GbString page(text);
            state->host.compactState = -1;
            CompactPage(*state, page);
            if (state->host.compactState != 0 && state->host.compactState != 9999) {
                Finding(kName, "compact state not recorded");
            }
            if (text.empty() && state->host.compactState != 0) Finding(kName, "an empty page was compacted");
            break;
        }
    }
    return 0;
}
