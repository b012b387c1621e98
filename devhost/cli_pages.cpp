// Pages on an in-memory host: the page, popup and pages subcommands of quillax-cli.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devhost/cli_commands.h"
#include "devhost/cli_text.h"
#include "devhost/host_session.h"
#include "devhost/html_elements.h"
#include "devhost/installation.h"
#include "engine/com/control.h"
#include "engine/config/configuration.h"
#include "engine/testing/fake_host.h"
#include "engine/testing/manual_timer_service.h"
#include "engine/testing/fake_popup_window.h"
#include "textlib/chapter_keys.h"
#include "textlib/conversions.h"

namespace quillax::cli {

namespace {

std::u16string Wide(std::string_view gbk) {
    GbString copy(gbk);
    return ToWide(copy, ConversionOptions{});
}

GbString Narrow(const std::u16string& wide) { return FromWide(wide, ConversionOptions{}); }

// An element of the page as the browser reports it to the engine.
struct ElementSpec {
    std::string tag = "A";
    std::optional<GbString> href;
    GbString id;
    GbString text;   // inner text and inner HTML
    GbString title;
};

// One engine control on an in-memory host page, with the settings of a small desktop: screen
// 1024 x 768, the mouse at (200, 150). Timers only fire when the renderer lets time pass.
class PageRenderer {
public:
    explicit PageRenderer(RenderState& state)
        : state_(state),
          control_(state, [this](RenderState& s) { return MakeFakePopupWindow(s, host_); }) {
        state.events.timers = &timers_;
        state.events.sleep = [](int) {};
        PrepareSmallDesktop(host_);
        control_.init(&host_, u"");
    }

    ~PageRenderer() {
        state_.events.timers = nullptr;
        state_.host.pageWindow = nullptr;
    }

    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    // Opens a page as the page command names it; false for a call the engine refused.
    bool Open(const std::vector<GbString>& words) {
        const GbString& key = words[0];
        const GbString argument = words.size() > 1 ? words[1] : GbString();
        HResult result = kResultOk;
        if (key == "calendar") {
            result = control_.GetWheel(Wide("H" + argument));
        } else if (key == "notes" || key == "outline") {
            // The day pages show the plan day of the calendar date: open its calendar first
            // ("+" before the date for the daily plan).
            result = control_.GetWheel(Wide("H" + argument));
            if (result == kResultOk) result = control_.GetWheel(key == "notes" ? u"1" : u"2");
        } else if (key == "map") {
            result = control_.linkmap(Wide(argument));
        } else if (key == "search") {
            GbString excluded = words.size() > 2 ? words[2] : GbString();
            result = control_.SearchWord(Wide(argument), Wide(excluded), 1, &host_);
        } else {
            result = control_.openchahtm(Wide(key), 0, Wide(argument));
        }
        return result == kResultOk;
    }

    // Hovers the element and lets the open delay pass; false for a call the engine refused.
    bool Hover(const ElementSpec& spec) {
        std::string outer = "<" + spec.tag;
        if (spec.href) outer += " href=\"about:blank" + spec.href->str() + "\"";
        if (!spec.id.IsEmpty()) outer += " id=\"" + spec.id.str() + "\"";
        if (!spec.title.IsEmpty()) outer += " title=\"" + spec.title.str() + "\"";
        outer += ">" + spec.text.str() + "</" + spec.tag + ">";
        host_.hasSource = true;
        host_.source.tagName = Wide(spec.tag);
        host_.source.id = Wide(spec.id.view());
        host_.source.title = Wide(spec.title.view());
        host_.source.outerHtml = Wide(outer);
        host_.sourceInnerHtml = Wide(spec.text.view());
        host_.sourceInnerText = Wide(spec.text.view());
        host_.event.button = 0;
        if (control_.MouseOver() != kResultOk) return false;
        timers_.Advance(state_.openDelay + 10);
        return true;
    }

    GbString Body() const { return Narrow(host_.body); }
    // The popup's body without the style sheet that every popup document starts with.
    GbString PopupBody() {
        if (!host_.Popup().visible) return {};
        GbString body = Narrow(host_.Popup().body);
        if (body.Find(state_.pageHeader) == 0) body.Delete(0, state_.pageHeader.Length());
        return body;
    }
    FakeHost& Host() { return host_; }

private:
    RenderState& state_;
    FakeHost host_;
    ManualTimerService timers_;
    Cqlx control_;
};

// "on=KEY", "tag=SUP", "href=40001", "id=...", "text=...", "title=..."; a lone word is a href.
bool ParseElement(const std::vector<GbString>& args, ElementSpec& spec, GbString& pageKey) {
    for (const GbString& arg : args) {
        const int equals = arg.Find("=");
        const GbString name(equals < 0 ? GbString() : GbString(arg.Slice(0, equals)));
        const GbString value(equals < 0 ? arg : GbString(arg.Slice(equals + 1)));
        if (equals < 0 || name == "href") {
            spec.href = value;
        } else if (name == "on") {
            pageKey = value;
        } else if (name == "tag") {
            spec.tag.clear();
            for (char c : value.str()) spec.tag += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        } else if (name == "id") {
            spec.id = value;
        } else if (name == "text") {
            spec.text = value;
        } else if (name == "title") {
            spec.title = value;
        } else {
            return false;
        }
    }
    return true;
}

// The element a page shows, as the popup of its kind wants it.
ElementSpec SpecOf(const std::optional<FoundElement>& found, std::string_view tag) {
    ElementSpec spec;
    spec.tag = std::string(tag);
    if (!found) return spec;
    if (found->Has("href")) spec.href = found->Get("href");
    spec.id = found->Get("id");
    spec.title = found->Get("title");
    spec.text = found->inner;
    return spec;
}

// A date of the six-day plan whose plan day (2) the sample's study modules hold.
constexpr char kSampleDate[] = "2000-02-17";
constexpr char kSamplePlanDay[] = "002";

}  // namespace

int RunPage(const GbString& installDir, std::vector<GbString> words) {
    std::optional<int> layout;
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] == "--layout") {
            layout = std::atoi(words[i + 1].str().c_str());
            words.erase(words.begin() + static_cast<std::ptrdiff_t>(i),
                        words.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            break;
        }
    }
    if (words.empty()) return 2;
    RenderState state;
    if (!LoadInstallationWithIndexes(installDir, state)) return 1;
    if (layout) state.readModel = *layout;
    PageRenderer renderer(state);
    const bool accepted = renderer.Open(words);
    const GbString body = renderer.Body();
    PrintLine(body);
    if (!accepted || body.IsEmpty()) {
        std::fputs("quillax-cli: the page is empty\n", stderr);
        return 1;
    }
    return 0;
}

int RunPopup(const GbString& installDir, const std::vector<GbString>& args) {
    ElementSpec spec;
    GbString pageKey;
    if (!ParseElement(args, spec, pageKey)) return 2;
    RenderState state;
    if (!LoadInstallationWithIndexes(installDir, state)) return 1;
    PageRenderer renderer(state);
    if (!pageKey.IsEmpty()) renderer.Open({pageKey});
    const bool accepted = renderer.Hover(spec);
    const GbString body = renderer.PopupBody();
    PrintLine(body);
    if (!accepted || body.IsEmpty()) {
        std::fputs("quillax-cli: no popup\n", stderr);
        return 1;
    }
    return 0;
}

int RunPages(const GbString& installDir) {
    RenderState state;
    if (!LoadInstallationWithIndexes(installDir, state)) return 1;
    int failures = 0;
    const auto report = [&failures](std::string_view kind, const GbString& html, bool ok) {
        ok = ok && !html.IsEmpty();
        if (!ok) ++failures;
        std::printf("%-40s %8d bytes  %s\n", std::string(kind).c_str(), html.Length(),
                    ok ? "ok" : "FAILED");
    };
    // What a page shows of its own: without the back and forward links and the spacer that
    // every page gets (a page of a missing module entry holds only those).
    const auto content = [&state](GbString body) {
        if (!state.linkControl.IsEmpty() && body.Find(state.linkControl) == 0) {
            body.Delete(0, state.linkControl.Length());
        }
        const int spacer = body.ReverseFind("<div style='height:");
        if (spacer >= 0 && body.Find("</div>", spacer) + 6 == body.Length()) body.SetLength(spacer);
        return body;
    };
    const auto page = [&](std::string_view kind, const std::vector<GbString>& words,
                          int layout = -1) {
        RenderState run;
        if (!LoadInstallation(installDir, run)) return GbString();
        if (layout >= 0) run.readModel = layout;
        PageRenderer renderer(run);
        const bool accepted = renderer.Open(words);
        const GbString body = renderer.Body();
        report(kind, content(body), accepted);
        return body;
    };
    const auto popup = [&](std::string_view kind, const GbString& on, const ElementSpec& spec) {
        RenderState run;
        if (!LoadInstallation(installDir, run)) return;
        PageRenderer renderer(run);
        if (!on.IsEmpty()) renderer.Open({on});
        const bool accepted = renderer.Hover(spec);
        report(kind, renderer.PopupBody(), accepted);
    };

    std::puts("Pages");
    const GbString chapter = page("chapter 01001", {"01001"});
    page("chapter 40002 at verse 3", {"40002", "3"});
    page("psalm 19001", {"19001"});
    page("chapter, layout 0 (READMODEL=0)", {"40001"}, 0);
    page("chapter, layout 1 (a verse a line)", {"40001"}, 1);
    page("chapter, layout 2 (parallel versions)", {"40001"}, 2);
    page("chapter, layout 9999 (parallel versions)", {"40001"}, 9999);
    page("book introduction 0100000", {"0100000"});
    page("devotional amberly#002", {"amberly#002"});
    page("study-module link zendri#001", {"zendri#001"});
    page("dictionary link rovask#001", {"rovask#001"});
    page("about page 0000000", {"0000000"});
    page("reading calendar (six-day plan)", {"calendar", kSampleDate});
    page("reading calendar (daily plan)", {"calendar", "+2004-02-03"});
    page("day page: study notes", {"notes", kSampleDate});
    page("day page: outline (Oblix)", {"outline", kSampleDate});
    page("outline link oblix#002", {"oblix#002"});
    page("picture page TU01", {"map", "01"});
    page("picture page TU12", {"map", "12"});
    page("word search", {"search", state.lastSearch.IsEmpty() ? GbString("神") : state.lastSearch});

    std::puts("Popups");
    // Each popup is of an element that one of the pages above shows.
    const auto hrefIs = [](std::string_view text) {
        return [text](const FoundElement& e) { return e.Get("href") == text; };
    };
    const auto chapterLink = [](const FoundElement& e) {
        const GbString href = e.Get("href");
        return href.Length() == 5 && IsChapterKey(href, false) != 0 && !e.inner.IsEmpty() &&
               e.inner.Find("章") < 0 && e.inner.Find("卷") < 0 && e.inner.Find("篇") < 0;
    };
    const auto any = [](const FoundElement&) { return true; };
    const auto withId = [](const FoundElement& e) { return e.Has("id"); };
    const GbString calendar = [&] {
        RenderState run;
        if (!LoadInstallation(installDir, run)) return GbString();
        PageRenderer renderer(run);
        renderer.Open({GbString("calendar"), GbString(kSampleDate)});
        return renderer.Body();
    }();
    popup("verse text (chain reference)", "01001", SpecOf(FindElement(chapter, "a", chapterLink), "A"));
    popup("footnote references", "01001", SpecOf(FindElement(chapter, "sup", withId), "SUP"));
    popup("text-fix note (bold)", "01001", SpecOf(FindElement(chapter, "b", any), "B"));
    popup("text-fix note (underlined)", "01001", SpecOf(FindElement(chapter, "u", any), "U"));
    // The daily plan's calendar links the study modules of its days; the links are taken
    // from it and pointed at the plan day that the sample holds.
    const GbString dailyCalendar = [&] {
        RenderState run;
        if (!LoadInstallation(installDir, run)) return GbString();
        PageRenderer renderer(run);
        renderer.Open({GbString("calendar"), "+" + GbString(kSampleDate)});
        return renderer.Body();
    }();
    ElementSpec devotionalLink = SpecOf(FindElement(dailyCalendar, "a", hrefIs("amberly")), "A");
    devotionalLink.id = GbString(kSamplePlanDay);
    popup("devotional entry", "", devotionalLink);
    ElementSpec notesLink = SpecOf(FindElement(dailyCalendar, "a", hrefIs("zendri")), "A");
    notesLink.id = GbString(kSamplePlanDay);
    popup("study-note entry", "", notesLink);
    const GbString devotional = page("(devotional page for its links)", {"amberly#002"});
    popup("module entry (dictionary)", "",
          SpecOf(FindElement(devotional, "a", [](const FoundElement& e) {
                     return e.Get("href").Find("rovask#") == 0;
                 }), "A"));
    popup("reading wheel", "", SpecOf(FindElement(calendar, "a", [](const FoundElement& e) {
                                          return e.Get("class") == "today";
                                      }), "A"));
    // The first picture of the first picture table.
    ElementSpec picture;
    picture.href = "tu01" + GbString(PictureTable(state, "01").Slice(0, 4));
    popup("picture", "", picture);

    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace quillax::cli
