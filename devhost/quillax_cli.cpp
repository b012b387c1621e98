// quillax-cli: command-line host of the engine. It points the engine at an installation, loads
// the configuration the way the component does when its library is loaded, and prints what the
// engine read; subcommands turn references into chapter keys with the loaded book table.
//
// The engine finds its configuration directory in the registry value
// HKEY_CURRENT_USER\Software\quillax (default). This program writes that value for the length of
// one run and puts the previous value back afterwards. Unless QUILLAX_REGISTRY names a store,
// the Linux registry stand-in is a private file in /dev/shm (or, without it, the temporary
// directory), removed at the end, so the user's own store is never touched.
//
// Text inside is GBK; the terminal sees UTF-8. Arguments are read as UTF-8 when they are valid
// UTF-8 that GBK can hold, otherwise as GBK bytes.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <exception>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/com/control.h"
#include "devhost/call_script.h"
#include "devhost/host_session.h"
#include "engine/config/configuration.h"
#include "textlib/product_identity.h"
#include "engine/host/fake_host.h"
#include "engine/host/timer_service.h"
#include "engine/midi/play_command.h"
#include "engine/popup/fake_popup_window.h"
#include "engine/render_state.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "setup/module_index.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"
#include "textlib/conversions.h"

namespace quillax {
namespace {

constexpr std::string_view kUsage =
    "usage: quillax-cli [INSTALL_DIR]\n"
    "       quillax-cli ref INSTALL_DIR REFERENCE...\n"
    "       quillax-cli brackets INSTALL_DIR TEXT [DEFAULT_KEY]\n"
    "       quillax-cli key KEY...\n"
    "       quillax-cli page INSTALL_DIR KEY [POSITION] [--layout N]\n"
    "       quillax-cli popup INSTALL_DIR [on=KEY] HREF | ATTRIBUTE=VALUE...\n"
    "       quillax-cli pages INSTALL_DIR\n"
    "       quillax-cli calls INSTALL_DIR [SCRIPT|-]    (JSON lines: {\"call\":\"openchahtm\",\"args\":[\"01001\"]} ...)\n"
    "       quillax-cli play FILE.mid [--loop] [--seconds N] [--wav OUT.wav] [--soundfont FILE.sf2]\n"
    "       quillax-cli --help\n";

constexpr std::string_view kHelp =
    "\n"
    "Loads the installation INSTALL_DIR (default: sample) as the engine does when its library\n"
    "is loaded, and prints what it read: the settings of bible.ini (the value in effect and,\n"
    "where it differs, the text of the file), the background colours, the table widths, the\n"
    "vocabulary (CMPSTR) with its indexes, the books with their names, abbreviations and\n"
    "chapter counts, the conversion word lists, the picture tables and any other keys.\n"
    "\n"
    "The configuration directory is INSTALL_DIR\\cfg\\ (or INSTALL_DIR itself when it holds\n"
    "bible.ini and has no cfg\\bible.ini).\n"
    "\n"
    "Subcommands:\n"
    "  ref       converts each REFERENCE (such as \"诗150:6\", \"林前13章\", or \"5:3\" for the\n"
    "            book of the previous one) into its chapter key, with the book table of\n"
    "            INSTALL_DIR; prints the key, the reference and the book and chapter.\n"
    "  brackets  runs the bracket-reference pass over TEXT (\"[罗8:28]\"...) and prints the\n"
    "            linked text; DEFAULT_KEY is the page's own chapter (default 01001).\n"
    "  key       tells whether each KEY is a chapter key, and a special key.\n"
    "  page      opens a page on an in-memory host page and prints its body HTML. KEY is what\n"
    "            the host page opens (a chapter key such as 01001, \"amberly#003\", a module\n"
    "            link \"module#entry\", the about key 0000000) or one of: \"calendar [+]DATE\"\n"
    "            (the reading calendar, + for the daily plan), \"notes [+]DATE\", \"outline [+]DATE\"\n"
    "            (the day pages of the date's plan day), \"map GROUP\" (a picture page), \"search\n"
    "            WORD [EXCLUDED]\". --layout sets the reading layout (READMODEL) for the run.\n"
    "  popup     shows the popup of one element on a page (on=KEY opens that page first) and\n"
    "            prints the popup's body HTML. A lone HREF is a link; otherwise the element is\n"
    "            described by tag= (A, SUP, B, U; default A), href=, id=, text= and title=.\n"
    "  pages     renders one page of every kind and one popup of every kind of the\n"
    "            installation and prints their sizes; exit status 1 when one is empty.\n"
    "  calls     runs a script of calls of the control's members against an in-memory host\n"
    "            page: one JSON object a line (UTF-8), from SCRIPT or standard input (\"-\").\n"
    "            Blank lines and lines starting with \"#\" are comments. A line may hold:\n"
    "              \"host\": {\"cursor\":[X,Y], \"screen\":[W,H], \"body\":HTML, \"bodyHeight\":PX,\n"
    "                \"scrollTop\":PX, \"url\":TEXT, \"popupHeight\":PX, \"charWidth\":PX,\n"
    "                \"document\":BOOL, \"hasBody\":BOOL, \"styleSheet\":BOOL}   the page's settings\n"
    "              \"event\": {\"tag\", \"id\", \"title\", \"href\", \"outerHtml\", \"text\", \"innerText\",\n"
    "                \"innerHtml\", \"button\", \"keyCode\", \"ctrl\", \"alt\", \"shift\"}   the current\n"
    "                event and its element (null: none); without \"outerHtml\" it is made from\n"
    "                tag, href (after \"about:blank\"), id, title and the inner HTML; \"button\" is\n"
    "                1 for MouseClick and 0 otherwise unless given\n"
    "              \"call\": NAME, \"args\": [...]   one member: init [WINDOW,TITLE], MouseClick,\n"
    "                MouseOut, MouseOver, pF10, SearchWord [WORD,EXCLUDED,EXTEND,WINDOW],\n"
    "                getcfg [NAME,VALUE], GetWheel [WD], linkmap [TUNO], Ver,\n"
    "                openchahtm [KEY,NOLINKS,POSITION], AddBibleLink, Changed [N], FixResult [TEXT];\n"
    "                WINDOW is \"page\" (default) or null; missing arguments are \"\" and 0\n"
    "              \"wait\": MS (with a call), \"advance\": MS (alone)   time passes, timers fire\n"
    "              \"show\": \"body\" | \"popup\" | \"history\"   prints what the page holds\n"
    "            for example\n"
    "              {\"call\":\"openchahtm\",\"args\":[\"01001\",0,\"\"]}\n"
    "              {\"call\":\"MouseOver\",\"event\":{\"tag\":\"A\",\"href\":\"01001\",\"text\":\"1:3\"},\"wait\":700}\n"
    "              {\"call\":\"getcfg\",\"args\":[\"USEGBK=\"]}\n"
    "              {\"advance\":500}\n"
    "            Every host and popup operation is printed as {\"op\":NAME,\"args\":[...]}, in\n"
    "            order; each call ends with {\"line\":N,\"call\":NAME,\"result\":0|1,\"value\":...}, a\n"
    "            wait with {\"line\":N,\"advance\":MS,\"clock\":MS}. A line that is not understood\n"
    "            prints {\"line\":N,\"error\":...} (and the message on standard error), is skipped,\n"
    "            and makes the exit status 1 at the end. The control starts bound to the page.\n"
    "  page, popup, pages and calls build the module indexes first when they are missing.\n"
    "\n"
    "Registry: the engine reads its configuration directory from HKEY_CURRENT_USER\\Software\\\n"
    "quillax (default value). quillax-cli writes that value for the run and restores the\n"
    "previous one when it ends. On Linux the registry is a file: the one named by the\n"
    "environment variable QUILLAX_REGISTRY when it is set, otherwise a private file in the\n"
    "temporary directory that is removed again, so your own store stays untouched.\n"
    "\n"
    "Arguments are read as UTF-8 (GBK bytes are accepted too); output is UTF-8.\n"
    "Exit status: 0 done, 1 no bible.ini in the configuration directory, 2 bad usage.\n";

// ---- terminal text ------------------------------------------------------------------------------

void Print(std::string_view gbk) {
    const std::string utf8 = platform::GbkToUtf8(gbk);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintLine(std::string_view gbk) {
    Print(gbk);
    std::fputc('\n', stdout);
}

// An argument as GBK: UTF-8 that converts to GBK and back unchanged is taken as UTF-8 (plain
// ASCII reads the same either way); anything else is taken as GBK bytes already.
GbString ArgumentText(std::string_view arg) {
    const std::string gbk = platform::Utf8ToGbk(arg);
    if (platform::GbkToUtf8(gbk) == arg) return GbString(gbk);
    return GbString(arg);
}

// Left-aligned column of a terminal width: a GBK character is two bytes and two columns wide.
GbString Padded(std::string_view text, int width) {
    GbString out(text);
    for (int n = out.Length(); n < width; ++n) out += " ";
    return out;
}

GbString Number(long long n) { return GbString(std::to_string(n)); }

GbString Real(double x) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", x);
    return GbString(buffer);
}

// ---- the engine's registry value ---------------------------------------------------------------

constexpr std::string_view kInstallKey = kInstallationKey;

// Writes the configuration directory into the registry for the lifetime of the object and puts
// back what was there before. Uses a private Linux store when QUILLAX_REGISTRY is not set.
class RegistryPointer {
public:
    explicit RegistryPointer(std::string_view configDir) {
        if (!platform::GetEnvironmentValue("QUILLAX_REGISTRY")) {
            const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            std::random_device entropy;
            // In memory where the system has such a folder: the store lives for one run only,
            // and a store on a disk would be flushed to it on every write.
            const std::string folder = platform::DirectoryExists("/dev/shm")
                                           ? std::string("/dev/shm/")
                                           : platform::TemporaryDirectory();
            privateStore_ = folder + "quillax-cli-" +
                            std::to_string(entropy()) + "-" + std::to_string(stamp) + ".registry";
            platform::SetEnvironmentValue("QUILLAX_REGISTRY", privateStore_);
            RegisterEngineLibrary();
        }
        previous_ = platform::ReadRegistryValue(platform::RegistryRoot::CurrentUser, kInstallKey, "");
        written_ = platform::WriteRegistryString(platform::RegistryRoot::CurrentUser, kInstallKey,
                                                 "", configDir);
    }

    ~RegistryPointer() {
        using platform::RegistryRoot;
        if (previous_) {
            std::string bytes = previous_->bytes;
            if (previous_->type == platform::RegistryType::String) {
                bytes = bytes.substr(0, bytes.find('\0'));
                platform::WriteRegistryString(RegistryRoot::CurrentUser, kInstallKey, "", bytes);
            } else {
                platform::WriteRegistryBinary(RegistryRoot::CurrentUser, kInstallKey, "", bytes);
            }
        } else if (written_) {
            platform::DeleteRegistryValue(RegistryRoot::CurrentUser, kInstallKey, "");
        }
        if (!privateStore_.empty()) {
            platform::RemoveFile(privateStore_);
            platform::RemoveFile(privateStore_ + ".lock");
            platform::SetEnvironmentValue("QUILLAX_REGISTRY", std::nullopt);
        }
    }

    RegistryPointer(const RegistryPointer&) = delete;
    RegistryPointer& operator=(const RegistryPointer&) = delete;

    bool Written() const { return written_; }

private:
    // The private store also gets the engine's class registration, pointing at the engine
    // library built beside this program, so that the build label and about text show.
    static void RegisterEngineLibrary() {
        using platform::RegistryRoot;
        const std::string library = platform::ProgramDirectory() + "/../lib/libquillax.so";
        if (!platform::FileExists(library)) return;
        platform::WriteRegistryString(RegistryRoot::ClassesRoot, kEngineProgIdClassKey, "",
                                      kEngineClassId);
        platform::WriteRegistryString(RegistryRoot::ClassesRoot,
                                      "CLSID\\" + std::string(kEngineClassId) + "\\InprocServer32",
                                      "", library);
    }

private:
    std::string privateStore_;
    std::optional<platform::RegistryValue> previous_;
    bool written_ = false;
};

// The configuration directory of an installation, ending in "\".
GbString ConfigDirectory(const GbString& installDir) {
    GbString base = installDir;
    while (base.Length() > 1 && (base.view().back() == '/' || base.view().back() == '\\')) {
        base.SetLength(base.Length() - 1);
    }
    if (base.IsEmpty()) base = GbString(".");
    const GbString cfg = base + "\\cfg\\";
    const GbString self = base + "\\";
    if (!platform::FileExists(cfg + "bible.ini") && platform::FileExists(self + "bible.ini")) {
        return self;
    }
    return cfg;
}

// Loads the installation into state. False (with a message) when it has no bible.ini.
bool Load(const GbString& installDir, RenderState& state) {
    const GbString configDir = ConfigDirectory(installDir);
    {
        RegistryPointer pointer(configDir);
        if (!pointer.Written()) {
            std::fputs("quillax-cli: could not write the registry value HKEY_CURRENT_USER\\"
                       "Software\\quillax\n", stderr);
        }
        LoadConfiguration(state);
    }
    if (state.configText.IsEmpty() && !platform::FileExists(configDir + "bible.ini")) {
        const std::string where = platform::GbkToUtf8(configDir);
        std::fprintf(stderr, "quillax-cli: no bible.ini in %s\n", where.c_str());
        return false;
    }
    return true;
}

// ---- pages on an in-memory host ---------------------------------------------------------------

// The index of a module below the configuration directory exists when its text does.
bool IndexMissing(const GbString& configDir, std::string_view name) {
    const GbString base = configDir + name;
    return platform::FileExists(base + ".txt") && !platform::FileExists(base + ".inx");
}

// Builds the module indexes of an installation that has none yet, as the set-up tool does when
// it installs: the main text and the modules of its table, then the parallel versions that
// EQUATEFILE names (which the import indexes in a real installation). True when it built any.
bool PrepareIndexes(const GbString& configDir, const GbList& parallelModules) {
    bool missing = !platform::FileExists(configDir + "sys\\corpa.txt");
    for (const ModuleTableRow& row : ModuleTable) missing = missing || IndexMissing(configDir, row.name);
    bool built = false;
    if (missing) {
        std::fputs("quillax-cli: building the module indexes\n", stderr);
        PrepareModules(configDir.view());
        built = true;
    }
    for (int i = 0; i < parallelModules.Count(); ++i) {
        const GbString& name = parallelModules[i];
        if (!name.IsEmpty() && IndexMissing(configDir, name.view())) {
            built = BuildModuleIndex(configDir.view(), name.view(), false, ":=") || built;
        }
    }
    return built;
}

// Loads the installation after building its missing indexes, so that the engine's state never
// sees the installation without them. The parallel versions are read from bible.ini directly.
bool LoadWithIndexes(const GbString& installDir, RenderState& state) {
    const GbString configDir = ConfigDirectory(installDir);
    const GbString configText = ReadConfigFile((configDir + "bible.ini").view());
    if (!configText.IsEmpty()) PrepareIndexes(configDir, ReadConfigList(configText, "EQUATEFILE="));
    return Load(installDir, state);
}

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
    if (!LoadWithIndexes(installDir, state)) return 1;
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
    if (!LoadWithIndexes(installDir, state)) return 1;
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

// An element of a page as the page builders write it: "<tag name=value ...>inner</tag>".
struct FoundElement {
    std::vector<std::pair<std::string, GbString>> attributes;  // names in lower case
    GbString inner;

    bool Has(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.first == name) return true;
        }
        return false;
    }
    GbString Get(std::string_view name) const {
        for (const auto& a : attributes) {
            if (a.first == name) return a.second;
        }
        return {};
    }
};

// The attributes of the opening tag whose name ends at html[at]; values quoted or not.
void ReadAttributes(std::string_view head, FoundElement& element) {
    std::size_t i = 0;
    while (i < head.size()) {
        while (i < head.size() && head[i] == ' ') ++i;
        std::string name;
        while (i < head.size() && head[i] != '=' && head[i] != ' ') {
            const char c = head[i++];
            name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
        GbString value;
        if (i < head.size() && head[i] == '=') {
            ++i;
            const char quote = i < head.size() && (head[i] == '"' || head[i] == '\'') ? head[i] : ' ';
            if (quote != ' ') ++i;
            std::size_t stop = head.find(quote, i);
            if (stop == std::string_view::npos) stop = head.size();
            value = GbString(head.substr(i, stop - i));
            i = stop + 1;
        }
        if (!name.empty()) element.attributes.emplace_back(name, value);
    }
}

// The first element of a tag (lower case, as the page builders write it) that the test accepts.
template <typename Test>
std::optional<FoundElement> FindElement(const GbString& html, std::string_view tag, Test test) {
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    for (int at = html.Find(open); at >= 0; at = html.Find(open, at + 1)) {
        const int nameEnd = at + static_cast<int>(open.size());
        const char after = static_cast<char>(html.GetAt(nameEnd));
        if (after != ' ' && after != '>') continue;
        const int end = html.Find(">", nameEnd);
        const int innerEnd = end < 0 ? -1 : html.Find(close, end);
        if (innerEnd < 0) break;
        FoundElement element;
        ReadAttributes(html.Slice(nameEnd, end - nameEnd), element);
        element.inner = GbString(html.Slice(end + 1, innerEnd - end - 1));
        if (test(element)) return element;
    }
    return std::nullopt;
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

int RunPages(const GbString& installDir) {
    RenderState state;
    if (!LoadWithIndexes(installDir, state)) return 1;
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
        if (!Load(installDir, run)) return GbString();
        if (layout >= 0) run.readModel = layout;
        PageRenderer renderer(run);
        const bool accepted = renderer.Open(words);
        const GbString body = renderer.Body();
        report(kind, content(body), accepted);
        return body;
    };
    const auto popup = [&](std::string_view kind, const GbString& on, const ElementSpec& spec) {
        RenderState run;
        if (!Load(installDir, run)) return;
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
        if (!Load(installDir, run)) return GbString();
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
        if (!Load(installDir, run)) return GbString();
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

// ---- the full report ---------------------------------------------------------------------------

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
    PrintLine(GbString(title) + " (" + Number(list.Count()) + " items)");
    for (int i = 0; i < list.Count(); ++i) {
        GbString index = Number(i);
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
        GbString line = "  " + Padded(Number(book), 3) + Padded(Number(ChapterCount(book)), 5) +
                        Padded(abbreviation, 6) + state.bookNames[book - 1];
        if (!ok) {
            line += "   ! the abbreviation leads to " +
                    (check.IsEmpty() ? GbString("nothing") : "key " + check);
            ++mismatches;
        }
        PrintLine(line);
    }
    if (state.bookNames.Count() != kBookCount) {
        PrintLine("  ! CCNAME has " + Number(state.bookNames.Count()) + " names, not 66");
    }
    if (state.bookNameText.Length() < kBookCount * 5) {
        PrintLine("  ! CNAME has " + Number(state.bookNameText.Length()) +
                  " bytes, not 330 (66 x 5)");
    }
    if (mismatches > 0) {
        PrintLine("  ! " + Number(mismatches) + " abbreviations do not lead to their own book");
    }
}

void PrintReport(RenderState& state) {
    PrintLine("Installation");
    PrintLine("  configuration directory  " + state.installDir);
    PrintLine("  build label              " +
              (state.buildLabel.IsEmpty() ? GbString("(no registered engine library)")
                                          : state.buildLabel));
    if (!state.aboutText.IsEmpty()) PrintLine("  about text               " + state.aboutText);
    PrintLine("  bible.css                " + Number(state.pageHeader.Length()) +
              " bytes of page header");
    PrintLine("  quillets.js              " + Number(static_cast<long long>(state.scriptText.size())) +
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
    PrintSetting(state, "READMODEL=", Number(state.readModel));
    PrintSetting(state, "SONGWIDTH=", Number(state.songWidth));
    PrintSetting(state, "SCROLLSPEED=", Number(state.scrollSpeed), " ms");
    PrintSetting(state, "USEGBK=", Number(state.useGbk));
    PrintSetting(state, "EXTENDNOTE=", Number(state.extendNote));
    PrintSetting(state, "MAXSEARCH=", Number(state.maxSearch));
    PrintSetting(state, "OPENDELAYTIME=", Number(state.openDelay), " ms");
    PrintSetting(state, "CLOSEDELAYTIME=", Number(state.closeDelay), " ms");
    PrintSetting(state, "SUBSTITUTE=", Number(state.substitute));
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

// ---- subcommands -------------------------------------------------------------------------------

void PrintKeyMeaning(const RenderState& state, const GbString& key) {
    const int number = IsChapterKey(key, false);
    if (number == 0) {
        PrintLine("   (no such chapter)");
        return;
    }
    const int book = number / 1000;
    PrintLine("   (" + state.bookNames[book - 1] + " " + Number(number % 1000) + ")");
}

int RunRef(const GbString& installDir, const std::vector<GbString>& refs) {
    RenderState state;
    if (!Load(installDir, state)) return 1;
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
    if (!Load(installDir, state)) return 1;
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
            line += "chapter key: book " + Number(number / 1000) + ", chapter " +
                    Number(number % 1000);
        } else if (accepted) {
            line += "special key";
        } else {
            line += "not a chapter key";
        }
        PrintLine(line);
    }
    return 0;
}

int Run(int argc, char** argv) {
    std::vector<GbString> args;
    for (int i = 1; i < argc; ++i) args.push_back(ArgumentText(argv[i]));
    const auto usage = [] {
        std::fputs(kUsage.data(), stderr);
        return 2;
    };

    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?")) {
        Print(kUsage);
        Print(kHelp);
        return 0;
    }
    if (!args.empty() && args[0] == "play") return RunPlayCommand(argc - 1, argv + 1);
    if (!args.empty() && args[0] == "calls") return RunCallsCommand(argc - 1, argv + 1, LoadWithIndexes);
    if (!args.empty() && args[0] == "ref") {
        if (args.size() < 3) return usage();
        return RunRef(args[1], std::vector<GbString>(args.begin() + 2, args.end()));
    }
    if (!args.empty() && args[0] == "brackets") {
        if (args.size() < 3 || args.size() > 4) return usage();
        return RunBrackets(args[1], args[2], args.size() == 4 ? args[3] : GbString("01001"));
    }
    if (!args.empty() && args[0] == "page") {
        if (args.size() < 3) return usage();
        const int status = RunPage(args[1], std::vector<GbString>(args.begin() + 2, args.end()));
        return status == 2 ? usage() : status;
    }
    if (!args.empty() && args[0] == "popup") {
        if (args.size() < 3) return usage();
        const int status = RunPopup(args[1], std::vector<GbString>(args.begin() + 2, args.end()));
        return status == 2 ? usage() : status;
    }
    if (!args.empty() && args[0] == "pages") {
        if (args.size() != 2) return usage();
        return RunPages(args[1]);
    }
    if (!args.empty() && args[0] == "key") {
        if (args.size() < 2) return usage();
        return RunKey(std::vector<GbString>(args.begin() + 1, args.end()));
    }
    if (args.size() > 1 || (!args.empty() && args[0].Slice(0, 1) == "-")) return usage();

    RenderState state;
    if (!Load(args.empty() ? GbString("sample") : args[0], state)) return 1;
    PrintReport(state);
    return 0;
}

}  // namespace
}  // namespace quillax

int main(int argc, char** argv) {
    try {
        const int status = quillax::Run(argc, argv);
        std::fflush(stdout);
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillax-cli: %s\n", e.what());
    } catch (...) {
        std::fputs("quillax-cli: unexpected failure\n", stderr);
    }
    return 3;
}
