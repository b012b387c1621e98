#include "engine/com/interaction_script.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "engine/com/control.h"
#include "engine/host/timer_service.h"
#include "engine/testing/fake_host.h"
#include "engine/testing/fake_popup_window.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "textlib/conversions.h"
#include "textlib/text_helpers.h"

namespace quillax {

namespace {

std::u16string Wide(std::string_view gbk) {
    GbString copy(gbk);
    return ToWide(copy, ConversionOptions{});
}

GbString Narrow(const std::u16string& wide) { return FromWide(wide, ConversionOptions{}); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; }

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ---- finding an element in the page ---------------------------------------------------------------

struct Attribute {
    std::string name;   // lower case
    std::string value;
};

struct PageElement {
    std::string tag;    // upper case
    std::vector<Attribute> attributes;
    std::string innerHtml;
    std::string innerText;

    std::string Get(std::string_view name) const {
        for (const Attribute& a : attributes) {
            if (a.name == name) return a.value;
        }
        return {};
    }
    bool Has(std::string_view name) const {
        for (const Attribute& a : attributes) {
            if (a.name == name) return true;
        }
        return false;
    }
};

// Reads the opening tag at html[at] == '<'; on success `end` is the position after its ">".
bool ReadOpeningTag(std::string_view html, std::size_t at, PageElement& element, std::size_t& end) {
    std::size_t i = at + 1;
    std::string tag;
    while (i < html.size() && IsNameChar(html[i])) tag += Upper(html[i++]);
    if (tag.empty()) return false;
    element.tag = tag;
    element.attributes.clear();
    for (;;) {
        while (i < html.size() && IsSpace(html[i])) ++i;
        if (i >= html.size()) return false;
        if (html[i] == '>') {
            end = i + 1;
            return true;
        }
        if (html[i] == '/') {
            ++i;
            continue;
        }
        Attribute attribute;
        while (i < html.size() && html[i] != '=' && html[i] != '>' && !IsSpace(html[i])) {
            attribute.name += Lower(html[i++]);
        }
        if (attribute.name.empty()) {
            ++i;
            continue;
        }
        while (i < html.size() && IsSpace(html[i])) ++i;
        if (i < html.size() && html[i] == '=') {
            ++i;
            while (i < html.size() && IsSpace(html[i])) ++i;
            if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
                const char quote = html[i++];
                const std::size_t close = html.find(quote, i);
                if (close == std::string_view::npos) return false;
                attribute.value = std::string(html.substr(i, close - i));
                i = close + 1;
            } else {
                // An unquoted value runs to a blank or the end of the tag; GBK trail bytes are
                // never blanks or ">".
                while (i < html.size() && !IsSpace(html[i]) && html[i] != '>') {
                    const auto byte = static_cast<unsigned char>(html[i]);
                    attribute.value += html[i++];
                    if (byte >= 0x80 && i < html.size()) attribute.value += html[i++];
                }
            }
        }
        element.attributes.push_back(std::move(attribute));
    }
}

bool IsVoidTag(const std::string& tag) {
    return tag == "BR" || tag == "IMG" || tag == "HR" || tag == "INPUT" || tag == "META" ||
           tag == "LINK";
}

// Whether html[at..] opens (closing = false) or closes a tag of this name (case-insensitive).
bool TagAt(std::string_view html, std::size_t at, const std::string& tag, bool closing) {
    std::size_t i = at + 1;
    if (closing) {
        if (i >= html.size() || html[i] != '/') return false;
        ++i;
    }
    for (char c : tag) {
        if (i >= html.size() || Upper(html[i]) != c) return false;
        ++i;
    }
    return i < html.size() && !IsNameChar(html[i]);
}

// The text of HTML without its tags.
std::string TextOf(std::string_view html) {
    std::string text;
    bool inTag = false;
    for (std::size_t i = 0; i < html.size(); ++i) {
        const char c = html[i];
        const auto byte = static_cast<unsigned char>(c);
        if (inTag) {
            if (c == '>') inTag = false;
        } else if (c == '<') {
            inTag = true;
        } else {
            text += c;
            if (byte >= 0x80 && i + 1 < html.size()) text += html[++i];
        }
    }
    return text;
}

// The first element of html that the selector names.
std::optional<PageElement> FindElement(std::string_view html, std::string_view selector) {
    for (std::size_t at = html.find('<'); at != std::string_view::npos; at = html.find('<', at + 1)) {
        PageElement element;
        std::size_t contentStart = 0;
        if (!ReadOpeningTag(html, at, element, contentStart)) continue;
        if (!IsVoidTag(element.tag)) {
            // The content runs to the matching closing tag (or to the end of the page).
            int depth = 1;
            std::size_t i = contentStart;
            std::size_t contentEnd = html.size();
            for (i = html.find('<', i); i != std::string_view::npos; i = html.find('<', i + 1)) {
                if (TagAt(html, i, element.tag, true)) {
                    if (--depth == 0) {
                        contentEnd = i;
                        break;
                    }
                } else if (TagAt(html, i, element.tag, false)) {
                    ++depth;
                }
            }
            element.innerHtml = std::string(html.substr(contentStart, contentEnd - contentStart));
            element.innerText = TextOf(element.innerHtml);
        }
        bool match = false;
        if (selector.substr(0, 5) == "href=") {
            match = element.Has("href") && element.Get("href") == selector.substr(5);
        } else if (selector.substr(0, 5) == "text=") {
            match = element.innerText == selector.substr(5);
        } else {
            match = element.Has("id") && element.Get("id") == selector;
        }
        if (match) return element;
    }
    return std::nullopt;
}

// The element as the browser's object model shows it to the engine.
HostElement ToHostElement(const PageElement& element) {
    std::string outer = "<" + element.tag;
    for (const Attribute& attribute : element.attributes) {
        std::string value = attribute.value;
        // A relative link is written after "about:blank" by the browser of the product.
        if (attribute.name == "href" && value.find(':') == std::string::npos) {
            value = "about:blank" + value;
        }
        outer += " " + attribute.name + "=\"" + value + "\"";
    }
    outer += ">" + element.innerHtml + "</" + element.tag + ">";
    HostElement host;
    host.tagName = Wide(element.tag);
    host.id = Wide(element.Get("id"));
    host.title = Wide(element.Get("title"));
    host.outerHtml = Wide(outer);
    return host;
}

// ---- the session --------------------------------------------------------------------------------

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSpace(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !IsSpace(line[i])) ++i;
        if (i > start) words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

// The rest of a line after its first word.
std::string_view RestOf(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && IsSpace(line[i])) ++i;
    while (i < line.size() && !IsSpace(line[i])) ++i;
    while (i < line.size() && IsSpace(line[i])) ++i;
    std::size_t end = line.size();
    while (end > i && IsSpace(line[end - 1])) --end;
    return line.substr(i, end - i);
}

}  // namespace

void PrepareSmallDesktop(FakeHost& host) {
    host.event.screenWidth = 1024;
    host.event.screenHeight = 768;
    host.cursorX = 200;
    host.cursorY = 150;
    host.maxCharWidth = 16;
    host.bodyOffsetHeight = 600;
    host.url = u"file:///quillax/host.htm";
    host.Popup().contentHeight = 120;
}

namespace {

class Session {
public:
    explicit Session(RenderState& state)
        : restore_(state),
          control_(state, [this](RenderState& s) { return MakeFakePopupWindow(s, host_); }) {
        state.events.timers = &timers_;
        // The waits for the engine pass without sleeping.
        state.events.sleep = [](int) {};
        PrepareSmallDesktop(host_);
        control_.init(&host_, u"");
        host_.ClearLog();
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one line; false when it was not understood (the reason is in `error`).
    bool Run(std::string_view line, std::string& out, std::string& error) {
        const std::vector<std::string> words = Words(line);
        const std::string& command = words[0];
        const std::string_view rest = RestOf(line);
        const auto number = [&](std::size_t i) { return i < words.size() ? ToInt(words[i]) : 0; };

        if (command == "page") {
            host_.body = Wide(rest);
        } else if (command == "open") {
            control_.openchahtm(Wide(words.size() > 1 ? words[1] : ""), 0,
                                Wide(words.size() > 2 ? words[2] : ""));
        } else if (command == "hover" || command == "click" || command == "rclick") {
            if (!PointAt(rest, error)) return false;
            if (command == "hover") {
                host_.event.button = 0;
                control_.MouseOver();
            } else {
                host_.event.button = command == "click" ? 1 : 2;
                control_.MouseClick();
            }
        } else if (command == "leave") {
            control_.MouseOut();
        } else if (command == "key") {
            host_.event.ctrlKey = false;
            if (rest == "space") {
                host_.event.keyCode = ' ';
            } else if (rest == "ctrl+enter") {
                host_.event.keyCode = 10;
                host_.event.ctrlKey = true;
            } else if (rest.size() == 1) {
                host_.event.keyCode = static_cast<unsigned char>(rest[0]);
            } else {
                error = "a key is one character, space or ctrl+enter";
                return false;
            }
            host_.event.button = 0;
            control_.pF10();
            host_.event.ctrlKey = false;
        } else if (command == "wait") {
            timers_.Advance(number(1));
        } else if (command == "pin") {
            if (control_.Popup() == nullptr) {
                error = "there is no popup window yet";
                return false;
            }
            control_.Popup()->OnNonClientMouseMove();
        } else if (command == "wheel") {
            control_.GetWheel(Wide(rest));
        } else if (command == "map") {
            control_.linkmap(Wide(rest));
        } else if (command == "search") {
            control_.SearchWord(Wide(rest), u"", 1, &host_);
        } else if (command == "cursor") {
            host_.cursorX = number(1);
            host_.cursorY = number(2);
        } else if (command == "screen") {
            host_.event.screenWidth = number(1);
            host_.event.screenHeight = number(2);
        } else if (command == "scroll") {
            host_.bodyScrollTop = number(1);
        } else if (command == "height") {
            host_.bodyOffsetHeight = number(1);
        } else if (command == "body") {
            out += "  = " + Narrow(host_.body).str() + "\n";
        } else if (command == "popup") {
            const FakePopup& popup = host_.Popup();
            const PopupWindow* window = control_.Popup();
            static const char* const kStates[] = {"hidden", "shown", "pinned"};
            out += std::string("  = ") + (window ? kStates[static_cast<int>(window->state)] : "none") +
                   (popup.visible ? " visible " : " invisible ") + Narrow(popup.body).str() + "\n";
        } else if (command == "history") {
            PrintHistory(out);
        } else {
            error = "unknown command";
            return false;
        }
        return true;
    }

    std::vector<std::string> TakeLog() {
        std::vector<std::string> log = host_.Log();
        host_.ClearLog();
        return log;
    }

private:
    // Makes the element of the selector the source of the next event.
    bool PointAt(std::string_view selector, std::string& error) {
        const GbString body = Narrow(host_.body);
        const std::optional<PageElement> element = FindElement(body.view(), selector);
        if (!element) {
            error = "no element of the page matches";
            return false;
        }
        host_.hasSource = true;
        host_.source = ToHostElement(*element);
        host_.sourceInnerHtml = Wide(element->innerHtml);
        host_.sourceInnerText = Wide(element->innerText);
        return true;
    }

    void PrintHistory(std::string& out) const {
        const HistoryList* list = restore_.State().events.history.Find(&host_);
        if (list == nullptr) return;
        const std::vector<HistoryEntry> entries = list->Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            out += static_cast<int>(i) == list->CurrentIndex() ? "  * " : "    ";
            out += std::string(entries[i].key) + " | " + std::string(entries[i].position) +
                   " | " + std::to_string(entries[i].scroll) + "\n";
        }
    }


    ScopedEngineServices restore_;
    FakeHost host_;
    ManualTimerService timers_;
    Cqlx control_;
};

// A script line as GBK: UTF-8 that GBK can hold is converted, anything else is taken as GBK.
std::string LineAsGbk(std::string_view line) {
    const std::string gbk = platform::Utf8ToGbk(line);
    if (platform::GbkToUtf8(gbk) == line) return gbk;
    return std::string(line);
}

}  // namespace

int RunInteractionScript(RenderState& state, std::string_view script, std::string& output) {
    Session session(state);
    int status = 0;
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        std::string_view line = script.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
        while (!line.empty() && IsSpace(line.front())) line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;

        output += "> ";
        output += line;
        output += "\n";
        std::string printed;
        std::string error;
        const bool understood = session.Run(line, printed, error);
        for (const std::string& operation : session.TakeLog()) output += "  " + operation + "\n";
        output += printed;
        if (!understood) {
            output += "  ? " + error + "\n";
            status = 2;
        }
    }
    return status;
}

int RunInteractCommand(int argc, char** argv, const InstallationLoader& load) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: quillax-cli interact INSTALL_DIR [SCRIPT_FILE]\n", stderr);
        return 2;
    }
    std::string source;
    if (argc == 3) {
        const std::optional<std::string> file = platform::ReadWholeFile(argv[2]);
        if (!file) {
            std::fprintf(stderr, "quillax-cli: cannot read %s\n", argv[2]);
            return 1;
        }
        source = *file;
    } else {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) source.append(buffer, got);
    }
    std::string script;
    std::size_t start = 0;
    while (start <= source.size()) {
        std::size_t end = source.find('\n', start);
        if (end == std::string::npos) end = source.size();
        script += LineAsGbk(std::string_view(source).substr(start, end - start)) + "\n";
        start = end + 1;
    }

    RenderState state;
    if (!load || !load(GbString(LineAsGbk(argv[1])), state)) return 1;
    std::string transcript;
    const int status = RunInteractionScript(state, script, transcript);
    const std::string utf8 = platform::GbkToUtf8(transcript);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return status;
}

}  // namespace quillax
