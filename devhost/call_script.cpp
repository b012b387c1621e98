#include "devhost/call_script.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/com/control.h"
#include "engine/com/members.h"
#include "engine/testing/manual_timer_service.h"
#include "engine/testing/fake_host.h"
#include "engine/testing/fake_popup_window.h"
#include "platform/code_page.h"
#include "platform/files.h"

namespace quillax {

namespace {

// Keys keep the order they are written in, so every line reads "op" or "line" first.
using Json = nlohmann::ordered_json;

// ---- output --------------------------------------------------------------------------------------

// One JSON line; texts that are not valid UTF-8 show replacement characters.
std::string Line(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string Utf8(const std::u16string& wide) { return platform::Utf16ToUtf8(wide); }

// One operation of the host's record as a JSON line: numbers stay numbers, texts become UTF-8.
std::string OperationLine(const HostOperation& operation) {
    Json op;
    op["op"] = operation.name;
    if (!operation.args.empty()) {
        Json args = Json::array();
        for (const HostOperation::Argument& arg : operation.args) {
            if (const int* number = std::get_if<int>(&arg)) {
                args.push_back(*number);
            } else {
                args.push_back(platform::GbkToUtf8(std::get<std::string>(arg)));
            }
        }
        op["args"] = std::move(args);
    }
    return Line(op);
}

// ---- reading a line ------------------------------------------------------------------------------

// A line that cannot be carried out; the message says why.
struct Malformed {
    std::string message;
};

[[noreturn]] void Fail(std::string message) { throw Malformed{std::move(message)}; }

const char* TypeName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return "a boolean";
        case Json::value_t::string: return "a text";
        case Json::value_t::array: return "an array";
        case Json::value_t::object: return "an object";
        case Json::value_t::number_float: return "a fraction";
        default: return "a number";
    }
}

std::u16string WideText(const Json& value, const std::string& what) {
    if (!value.is_string()) Fail(what + " must be a text, not " + TypeName(value));
    return platform::Utf8ToUtf16(value.get<std::string>());
}

long long Integer(const Json& value, const std::string& what) {
    if (!value.is_number_integer()) Fail(what + " must be a whole number, not " + TypeName(value));
    return value.get<long long>();
}

int SmallInteger(const Json& value, const std::string& what) {
    const long long n = Integer(value, what);
    if (n < -2147483647LL - 1 || n > 2147483647LL) Fail(what + " is out of range");
    return static_cast<int>(n);
}

bool Boolean(const Json& value, const std::string& what) {
    if (!value.is_boolean()) Fail(what + " must be true or false, not " + TypeName(value));
    return value.get<bool>();
}

std::pair<int, int> Pair(const Json& value, const std::string& what) {
    if (!value.is_array() || value.size() != 2) Fail(what + " must be an array of two numbers");
    return {SmallInteger(value[0], what), SmallInteger(value[1], what)};
}

void OnlyKeys(const Json& object, std::initializer_list<const char*> keys, const std::string& what) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* k : keys) known = known || it.key() == k;
        if (!known) Fail("unknown " + what + " \"" + it.key() + "\"");
    }
}

// The arguments of a call, read and checked by the types of the member's parameters before
// anything is carried out; missing ones read as an empty text, 0 and the page.
class CallArguments : public MemberArguments {
public:
    CallArguments(const Json* args, const std::string& call, const ControlMember& member,
                  FakeHost& host)
        : host_(&host) {
        if (args != nullptr && !args->is_array()) Fail("\"args\" must be an array");
        const std::size_t count = args == nullptr ? 0 : args->size();
        // A method that gives a text back takes what the variable held before the call last.
        const bool before = member.kind == MemberKind::Method && member.value == MemberValue::Text;
        const std::size_t most = member.arity + (before ? 1 : 0);
        if (count > most) {
            Fail(call + " takes " + (most == 0 ? std::string("no") : "at most " + std::to_string(most)) +
                 " argument" + (most == 1 ? "" : "s") + ", not " + std::to_string(count));
        }
        texts_.resize(member.arity);
        numbers_.resize(member.arity);
        windows_.assign(member.arity, true);
        for (std::size_t i = 0; i < count; ++i) {
            const Json& value = (*args)[i];
            const std::string what = "argument " + std::to_string(i + 1) + " of " + call;
            if (i == member.arity) {
                valueBefore_ = WideText(value, what);
                continue;
            }
            switch (member.parameters[i].type) {
                case ParameterType::Text: texts_[i] = WideText(value, what); break;
                case ParameterType::Number: numbers_[i] = SmallInteger(value, what); break;
                case ParameterType::Window:
                    if (value.is_null()) {
                        windows_[i] = false;
                    } else if (!value.is_string() || value.get<std::string>() != "page") {
                        Fail(what + " must be \"page\" or null");
                    }
                    break;
            }
        }
    }

    std::u16string Text(std::size_t i) const override { return i < texts_.size() ? texts_[i] : u""; }
    std::int32_t Number(std::size_t i) const override { return i < numbers_.size() ? numbers_[i] : 0; }
    HostWindow* Window(std::size_t i) const override {
        return i >= windows_.size() || windows_[i] ? host_ : nullptr;
    }
    // The text a member that gives one back starts from.
    const std::u16string& ValueBefore() const { return valueBefore_; }

private:
    FakeHost* host_;
    std::vector<std::u16string> texts_;
    std::vector<std::int32_t> numbers_;
    std::vector<bool> windows_;
    std::u16string valueBefore_;
};

// What a line asks for, read whole before anything is carried out.
struct Plan {
    std::vector<std::function<void()>> host;   // settings of the fake host
    std::optional<std::function<void()>> event;
    std::string call;                          // the member's name as written
    std::function<Json()> invoke;              // calls it; the result line without "line"
    std::optional<int> advance;
    std::string show;
};

}  // namespace

// ---- the session ---------------------------------------------------------------------------------

struct CallSession::Impl {

    explicit Impl(RenderState& s)
        : restore(s), control(s, [this](RenderState& r) { return MakeFakePopupWindow(r, host); }) {
        s.events.timers = &timers;
        // The waits for the engine pass without sleeping.
        s.events.sleep = [](int) {};
        PrepareSmallDesktop(host);
        control.init(&host, u"");
        host.ClearLog();
    }

    void ReadHost(const Json& settings, Plan& plan) {
        if (!settings.is_object()) Fail("\"host\" must be an object");
        OnlyKeys(settings, {"cursor", "screen", "body", "bodyHeight", "scrollTop", "url", "popupHeight",
                            "charWidth", "document", "hasBody", "styleSheet"},
                 "host setting");
        FakeHost* h = &host;
        for (auto it = settings.begin(); it != settings.end(); ++it) {
            const std::string& key = it.key();
            const Json& value = it.value();
            const std::string what = "host setting \"" + key + "\"";
            if (key == "cursor" || key == "screen") {
                const auto [a, b] = Pair(value, what);
                if (key == "cursor") {
                    plan.host.push_back([h, a = a, b = b] { h->cursorX = a; h->cursorY = b; });
                } else {
                    plan.host.push_back([h, a = a, b = b] {
                        h->event.screenWidth = a;
                        h->event.screenHeight = b;
                    });
                }
            } else if (key == "body" || key == "url") {
                const std::u16string text = WideText(value, what);
                if (key == "body") {
                    plan.host.push_back([h, text] { h->body = text; });
                } else {
                    plan.host.push_back([h, text] { h->url = text; });
                }
            } else if (key == "document" || key == "hasBody" || key == "styleSheet") {
                const bool on = Boolean(value, what);
                bool FakeHost::*field = key == "document"  ? &FakeHost::hasDocument
                                        : key == "hasBody" ? &FakeHost::hasBody
                                                           : &FakeHost::hasStyleSheet;
                plan.host.push_back([h, field, on] { h->*field = on; });
            } else {
                const int n = SmallInteger(value, what);
                if (key == "bodyHeight") {
                    plan.host.push_back([h, n] { h->bodyOffsetHeight = n; });
                } else if (key == "scrollTop") {
                    plan.host.push_back([h, n] { h->bodyScrollTop = n; });
                } else if (key == "popupHeight") {
                    plan.host.push_back([h, n] { h->Popup().contentHeight = n; });
                } else {
                    plan.host.push_back([h, n] { h->maxCharWidth = n; });
                }
            }
        }
    }

    void ReadEvent(const Json& value, bool click, Plan& plan) {
        FakeHost* h = &host;
        if (value.is_null()) {
            plan.event = [h] { h->hasEvent = false; };
            return;
        }
        if (!value.is_object()) Fail("\"event\" must be an object or null");
        OnlyKeys(value, {"tag", "id", "title", "href", "outerHtml", "text", "innerText", "innerHtml",
                         "button", "keyCode", "ctrl", "alt", "shift"},
                 "event field");
        const auto text = [&value](const char* key) -> std::optional<std::u16string> {
            if (!value.contains(key)) return std::nullopt;
            return WideText(value[key], std::string("event field \"") + key + "\"");
        };
        const auto flag = [&value](const char* key) {
            return value.contains(key) && Boolean(value[key], std::string("event field \"") + key + "\"");
        };
        HostEvent event;  // the screen size stays the host's
        event.button = value.contains("button") ? SmallInteger(value["button"], "event field \"button\"")
                                                : (click ? 1 : 0);
        event.keyCode = 0;
        if (value.contains("keyCode")) {
            const Json& key = value["keyCode"];
            if (key.is_string()) {
                const std::u16string k = platform::Utf8ToUtf16(key.get<std::string>());
                if (k.size() != 1) Fail("event field \"keyCode\" must be one character or a number");
                event.keyCode = static_cast<int>(k[0]);
            } else {
                event.keyCode = SmallInteger(key, "event field \"keyCode\"");
            }
        }
        event.ctrlKey = flag("ctrl");
        event.altKey = flag("alt");
        event.shiftKey = flag("shift");

        const std::optional<std::u16string> tag = text("tag");
        const std::optional<std::u16string> id = text("id");
        const std::optional<std::u16string> title = text("title");
        const std::optional<std::u16string> href = text("href");
        const std::optional<std::u16string> outer = text("outerHtml");
        const std::optional<std::u16string> both = text("text");
        std::optional<std::u16string> innerText = text("innerText");
        std::optional<std::u16string> innerHtml = text("innerHtml");
        if (!innerText) innerText = both;
        if (!innerHtml) innerHtml = both;
        const bool hasSource = tag || id || title || href || outer || innerText || innerHtml;
        HostElement element;
        element.tagName = tag.value_or(u"");
        element.id = id.value_or(u"");
        element.title = title.value_or(u"");
        if (outer) {
            element.outerHtml = *outer;
        } else if (hasSource) {
            std::u16string html = u"<" + element.tagName;
            if (href) {
                html += u" href=\"";
                if (href->find(u':') == std::u16string::npos) html += u"about:blank";
                html += *href + u"\"";
            }
            if (id) html += u" id=\"" + *id + u"\"";
            if (title) html += u" title=\"" + *title + u"\"";
            html += u">" + innerHtml.value_or(u"") + u"</" + element.tagName + u">";
            element.outerHtml = std::move(html);
        }
        plan.event = [h, event, hasSource, element, innerText, innerHtml] {
            h->hasEvent = true;
            h->event.button = event.button;
            h->event.keyCode = event.keyCode;
            h->event.ctrlKey = event.ctrlKey;
            h->event.altKey = event.altKey;
            h->event.shiftKey = event.shiftKey;
            h->hasSource = hasSource;
            h->source = element;
            h->sourceInnerText = innerText.value_or(u"");
            h->sourceInnerHtml = innerHtml.value_or(u"");
            h->eventCancelled = false;
        };
    }

    // The member of a call and its arguments.
    void ReadCall(const std::string& name, const Json* args, Plan& plan) {
        const bool hasArguments = args != nullptr && args->is_array() && !args->empty();
        const ControlMember* member = MemberOfCall(name, hasArguments);
        if (member == nullptr) Fail("no member \"" + name + "\" (" + MemberNames() + ")");
        auto arguments = std::make_shared<const CallArguments>(args, name, *member, host);
        Cqlx* c = &control;
        plan.invoke = [c, member, arguments] {
            MemberReply reply;
            if (member->value == MemberValue::Text) reply.text = arguments->ValueBefore();
            member->invoke(*c, *arguments, reply);
            Json line;
            line["result"] = reply.result;
            if (member->value == MemberValue::Text) line["value"] = Utf8(reply.text.value_or(u""));
            if (member->value == MemberValue::Number) line["value"] = reply.number.value_or(0);
            return line;
        };
    }

    Plan Read(std::string_view text) {
        Json line;
        try {
            line = Json::parse(text);
        } catch (const Json::parse_error& e) {
            // The library's message names the column of the fault.
            std::string message = e.what();
            const std::size_t colon = message.find("] ");
            if (colon != std::string::npos) message.erase(0, colon + 2);
            const std::size_t lineWord = message.find("line 1, ");
            if (lineWord != std::string::npos) message.erase(lineWord, 8);
            Fail("not valid JSON: " + message);
        }
        if (!line.is_object()) Fail("a line must be a JSON object, not " + std::string(TypeName(line)));
        OnlyKeys(line, {"call", "args", "event", "wait", "host", "advance", "show"}, "key");
        Plan plan;
        const bool hasCall = line.contains("call");
        if (!hasCall && (line.contains("args") || line.contains("event") || line.contains("wait"))) {
            Fail("\"args\", \"event\" and \"wait\" belong to a \"call\"");
        }
        if (hasCall && line.contains("advance")) Fail("a call waits with \"wait\", not \"advance\"");
        if (line.contains("host")) ReadHost(line["host"], plan);
        if (hasCall) {
            const Json& call = line["call"];
            if (!call.is_string()) Fail("\"call\" must be a member's name");
            plan.call = call.get<std::string>();
            if (line.contains("event")) ReadEvent(line["event"], plan.call == "MouseClick", plan);
            ReadCall(plan.call, line.contains("args") ? &line["args"] : nullptr, plan);
        }
        const char* waitKey = hasCall ? "wait" : "advance";
        if (line.contains(waitKey)) {
            const long long ms = Integer(line[waitKey], std::string("\"") + waitKey + "\"");
            if (ms < 0 || ms > 86400000) Fail(std::string("\"") + waitKey + "\" must be 0 to 86400000 ms");
            plan.advance = static_cast<int>(ms);
        }
        if (line.contains("show")) {
            const Json& show = line["show"];
            if (!show.is_string() || (show != "body" && show != "popup" && show != "history")) {
                Fail("\"show\" must be \"body\", \"popup\" or \"history\"");
            }
            plan.show = show.get<std::string>();
        }
        if (plan.host.empty() && !hasCall && !plan.advance && plan.show.empty()) {
            Fail("nothing to do: a line needs \"call\", \"advance\", \"host\" or \"show\"");
        }
        return plan;
    }

    // Prints the operations the host recorded since the last time.
    void FlushLog(std::string& out) {
        for (const HostOperation& operation : host.Operations()) out += OperationLine(operation);
        host.ClearLog();
    }

    void Carry(const Plan& plan, int lineNumber, std::string& out) {
        for (const auto& set : plan.host) set();
        if (plan.event) (*plan.event)();
        if (plan.invoke) {
            Json result = plan.invoke();
            FlushLog(out);
            Json line;
            line["line"] = lineNumber;
            line["call"] = plan.call;
            for (auto it = result.begin(); it != result.end(); ++it) line[it.key()] = it.value();
            out += Line(line);
        }
        if (plan.advance) {
            timers.Advance(*plan.advance);
            FlushLog(out);
            out += Line(Json{{"line", lineNumber}, {"advance", *plan.advance}, {"clock", timers.Now()}});
        }
        if (plan.show == "body") {
            out += Line(Json{{"line", lineNumber}, {"body", Utf8(host.body)}});
        } else if (plan.show == "popup") {
            static const char* const kStates[] = {"hidden", "shown", "pinned"};
            const PopupWindow* window = control.Popup();
            const FakePopup& popup = host.Popup();
            Json state{{"window", window ? kStates[static_cast<int>(window->state)] : "none"},
                       {"visible", popup.visible},
                       {"rect", {popup.windowRect.left, popup.windowRect.top, popup.windowRect.right,
                                 popup.windowRect.bottom}},
                       {"body", Utf8(popup.body)}};
            out += Line(Json{{"line", lineNumber}, {"popup", std::move(state)}});
        } else if (plan.show == "history") {
            Json entries = Json::array();
            if (const HistoryList* list = restore.State().events.history.Find(&host)) {
                const std::vector<HistoryEntry> all = list->Entries();
                for (std::size_t i = 0; i < all.size(); ++i) {
                    entries.push_back({{"key", platform::GbkToUtf8(all[i].key)},
                                       {"position", platform::GbkToUtf8(all[i].position)},
                                       {"scroll", all[i].scroll},
                                       {"current", static_cast<int>(i) == list->CurrentIndex()}});
                }
            }
            out += Line(Json{{"line", lineNumber}, {"history", std::move(entries)}});
        }
    }

    ScopedEngineServices restore;
    FakeHost host;
    ManualTimerService timers;
    Cqlx control;
};

CallSession::CallSession(RenderState& state) : impl_(std::make_unique<Impl>(state)) {}
CallSession::~CallSession() = default;

FakeHost& CallSession::Host() { return impl_->host; }
ManualTimerService& CallSession::Timers() { return impl_->timers; }

bool CallSession::Run(std::string_view line, int lineNumber, std::string& out, std::string& error) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    std::size_t first = 0;
    while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) ++first;
    if (first == line.size() || line[first] == '#') return true;
    Plan plan;
    try {
        plan = impl_->Read(line.substr(first));
    } catch (const Malformed& m) {
        error = m.message;
        out += Line(Json{{"line", lineNumber}, {"error", error}});
        return false;
    }
    impl_->Carry(plan, lineNumber, out);
    return true;
}

int RunCallScript(RenderState& state, std::string_view script, std::string& out,
                  std::string& errors) {
    CallSession session(state);
    int status = 0;
    int number = 0;
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        ++number;
        std::string error;
        if (!session.Run(script.substr(start, end - start), number, out, error)) {
            errors += "line " + std::to_string(number) + ": " + error + "\n";
            status = 1;
        }
        start = end + 1;
    }
    return status;
}

int RunCallsCommand(int argc, char** argv, const InstallationLoader& load) {
    if (argc < 2 || argc > 3) {
        std::fputs("usage: quillax-cli calls INSTALL_DIR [SCRIPT_FILE | -]\n", stderr);
        return 2;
    }
    const bool fromFile = argc == 3 && std::string_view(argv[2]) != "-";
    std::FILE* input = stdin;
    if (fromFile) {
        input = std::fopen(argv[2], "rb");
        if (input == nullptr) {
            std::fprintf(stderr, "quillax-cli: cannot read %s\n", argv[2]);
            return 1;
        }
    }
    const std::string gbkDir = platform::Utf8ToGbk(argv[1]);
    const GbString installDir(platform::GbkToUtf8(gbkDir) == argv[1] ? gbkDir : std::string(argv[1]));
    RenderState state;
    if (!load || !load(installDir, state)) {
        if (fromFile) std::fclose(input);
        return 1;
    }
    int status = 0;
    {
        // Line by line, so that a person typing calls sees each answer at once.
        CallSession session(state);
        std::string line;
        int number = 0;
        char buffer[4096];
        bool more = true;
        while (more) {
            line.clear();
            bool complete = false;
            while (!complete && std::fgets(buffer, sizeof buffer, input) != nullptr) {
                line += buffer;
                complete = !line.empty() && line.back() == '\n';
            }
            if (!complete && line.empty()) break;
            more = complete;
            if (complete) line.pop_back();
            ++number;
            std::string out;
            std::string error;
            if (!session.Run(line, number, out, error)) {
                std::fprintf(stderr, "quillax-cli: line %d: %s\n", number, error.c_str());
                status = 1;
            }
            std::fwrite(out.data(), 1, out.size(), stdout);
            std::fflush(stdout);
        }
    }
    if (fromFile) std::fclose(input);
    return status;
}

}  // namespace quillax
