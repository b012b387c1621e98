// quillax-cli: command-line host of the engine. It points the engine at an installation, loads
// the configuration the way the component does when its library is loaded, and prints what the
// engine read; subcommands turn references into chapter keys with the loaded book table.
//
// The engine finds its configuration directory in the registry value
// HKEY_CURRENT_USER\Software\quillax (default). This program writes that value for the length of
// one run and puts the previous value back afterwards. Unless QUILLAX_REGISTRY names a store,
// the Linux registry stand-in is a private file in the temporary directory, removed at the end,
// so the user's own store is never touched.
//
// Text inside is GBK; the terminal sees UTF-8. Arguments are read as UTF-8 when they are valid
// UTF-8 that GBK can hold, otherwise as GBK bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/com/interaction_script.h"
#include "engine/config/configuration.h"
#include "textlib/product_identity.h"
#include "engine/midi/play_command.h"
#include "engine/render_state.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/registry.h"
#include "textlib/chapter_keys.h"
#include "textlib/config_text.h"

namespace quillax {
namespace {

constexpr std::string_view kUsage =
    "usage: quillax-cli [INSTALL_DIR]\n"
    "       quillax-cli ref INSTALL_DIR REFERENCE...\n"
    "       quillax-cli brackets INSTALL_DIR TEXT [DEFAULT_KEY]\n"
    "       quillax-cli key KEY...\n"
    "       quillax-cli interact INSTALL_DIR [SCRIPT]   (script lines: hover ID, wait MS, click ID, key K ...)\n"
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
            privateStore_ = platform::TemporaryDirectory() + "quillax-cli-" +
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
    if (!args.empty() && args[0] == "interact") return RunInteractCommand(argc - 1, argv + 1, Load);
    if (!args.empty() && args[0] == "ref") {
        if (args.size() < 3) return usage();
        return RunRef(args[1], std::vector<GbString>(args.begin() + 2, args.end()));
    }
    if (!args.empty() && args[0] == "brackets") {
        if (args.size() < 3 || args.size() > 4) return usage();
        return RunBrackets(args[1], args[2], args.size() == 4 ? args[3] : GbString("01001"));
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
