// Fuzz target: event capture from a hostile page: the source element's tag name, id, title,
// outer HTML and inner texts come from the input, either as GBK text widened the way the
// engine widens it or as raw UTF-16 units (unpaired surrogates included), with the traditional
// character setting on or off.
//
// Checked: the href is what HrefFromOuterHtml finds in the narrowed outer HTML and holds no
// double quote; only links and the U, B, S and SUP elements are active; inner texts are
// captured for active elements only.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/com/event_capture.h"
#include "engine/state/render_state.h"
#include "engine/testing/fake_host.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/sample_state.h"
#include "textlib/conversions.h"

namespace {

using namespace quillax;
using fuzzing::Finding;

constexpr const char* kName = "event_capture_fuzz";

std::u16string Wide(FuzzedDataProvider& input, bool raw, const ConversionOptions& options,
                    std::size_t limit) {
    const std::string bytes = input.ConsumeRandomLengthString(limit);
    if (!raw) {
        GbString text(bytes);
        return ToWide(text, options);
    }
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static RenderState* state = [] {
        auto* s = new RenderState;
        fuzzing::FillSampleState(*s, fuzzing::ScratchDirectory() + "\\");
        const GbString config = ApplyBlankRule(fuzzing::SampleConfig());
        s->simplifiedWords = ReadConfigList(config, "WORD_GB2=");
        s->traditionalWords = ReadConfigList(config, "WORD_GBK=");
        return s;
    }();
    FuzzedDataProvider input(data, size);
    const std::uint8_t flags = input.ConsumeIntegral<std::uint8_t>();
    state->useGbk = (flags & 1) != 0 ? 1 : 0;
    const bool raw = (flags & 2) != 0;
    const ConversionOptions options = state->Conversions();

    FakeHost host;
    host.hasEvent = (flags & 4) == 0;
    host.hasSource = (flags & 8) == 0;
    host.event.keyCode = input.ConsumeIntegral<int>();
    host.event.button = input.ConsumeIntegral<int>();
    static const char16_t* kTags[] = {u"A", u"U", u"B", u"S", u"SUP", u"SPAN", u"a"};
    host.source.tagName = (flags & 0x10) != 0 ? Wide(input, raw, options, 8)
                                             : kTags[(flags >> 5) % 7];
    host.source.id = Wide(input, raw, options, 8);
    host.source.title = Wide(input, raw, options, 64);
    host.sourceInnerText = Wide(input, raw, options, 256);
    host.sourceInnerHtml = Wide(input, raw, options, 256);
    host.source.outerHtml = Wide(input, raw, options, 4096);

    const bool read = CaptureEvent(*state, &host);
    const EventElement& e = state->host.element;
    if (read != host.hasEvent) Finding(kName, "an event was read that is not there, or missed");
    if (!read || !host.hasSource) {
        if (e.found || e.active || !e.href.IsEmpty() || !e.innerHTML.IsEmpty()) {
            Finding(kName, "a missing element left a capture");
        }
        return 0;
    }
    const GbString outer = FromWide(host.source.outerHtml, options);
    const bool link = e.tagName == "A";
    if (link && e.href != HrefFromOuterHtml(outer)) Finding(kName, "the href differs from the outer HTML's");
    if (!link && !e.href.IsEmpty()) Finding(kName, "an element that is no link has an href");
    if (e.href.Find("\"") >= 0) Finding(kName, "an href holds a double quote");
    if (!link && e.active && e.tagName != "U" && e.tagName != "B" && e.tagName != "S" &&
        e.tagName != "SUP") {
        Finding(kName, "an element that may get no popup is active");
    }
    if (!e.active && (!e.innerHTML.IsEmpty() || !e.innerText.IsEmpty())) {
        Finding(kName, "inner texts of an inactive element were captured");
    }
    if (e.active && e.innerHTML != FromWide(host.sourceInnerHtml, options)) {
        Finding(kName, "the inner HTML was not captured as it is");
    }
    return 0;
}
