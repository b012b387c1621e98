#include "engine/com/event_capture.h"

#include "textlib/conversions.h"

namespace quillax {

bool IdInLinkRange(std::string_view id) {
    const GbString text(id);
    return text.Greater("000") && text.Less("479");
}

GbString HrefFromOuterHtml(std::string_view outerHtml) {
    const GbString html(outerHtml);
    constexpr std::string_view kOpening = "href=\"";
    const int open = html.Find(kOpening);
    if (open < 0) return {};
    const int start = open + static_cast<int>(kOpening.size());
    const int close = html.Find("\"", start);
    if (close < 0) return {};
    GbString href(html.Slice(start, close - start));
    if (href.Slice(0, 11) == "about:blank") href.Delete(0, 11);
    if (href.Slice(0, 6) == "about:") href.Delete(0, 6);
    return href;
}

bool CaptureEvent(RenderState& state, HostWindow* window) {
    EventElement& element = state.host.element;
    element.tagName.Empty();
    element.id.Empty();
    element.href.Empty();
    element.innerText.Empty();
    element.title.Empty();
    element.innerHTML.Empty();
    element.active = false;
    element.found = false;
    state.host.titleNotTip = true;

    HostEvent event;
    if (window == nullptr || !window->CurrentEvent(event)) return false;
    element.screenWidth = event.screenWidth;
    element.screenHeight = event.screenHeight;
    element.keyCode = event.keyCode;
    element.modifiers = (event.altKey ? kModifierAlt : 0) | (event.ctrlKey ? kModifierCtrl : 0) |
                        (event.shiftKey ? kModifierShift : 0);
    element.button = event.button;

    HostElement source;
    if (!window->SourceElement(source)) return true;
    const ConversionOptions conversions = state.Conversions();
    element.found = true;
    element.tagName = FromWide(source.tagName, conversions);
    element.id = FromWide(source.id, conversions);

    const bool link = element.tagName == "A";
    if (link) {
        element.title = FromWide(source.title, conversions);
        element.href = HrefFromOuterHtml(FromWide(source.outerHtml, conversions));
    }
    element.active = (link && (element.id.IsEmpty() || IdInLinkRange(element.id)) &&
                      element.href.Find("mailto:") < 0) ||
                     element.tagName == "U" || element.tagName == "B" || element.tagName == "S" ||
                     element.tagName == "SUP";
    if (element.active) {
        element.innerHTML = FromWide(window->SourceInnerHtml(), conversions);
        element.innerText = FromWide(window->SourceInnerText(), conversions);
    }
    return true;
}

}  // namespace quillax
