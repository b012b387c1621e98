// quillax-cli: command-line host of the engine. It points the engine at an installation, loads
// the configuration the way the component does when its library is loaded, and prints what the
// engine read; subcommands turn references into chapter keys with the loaded book table, show
// pages and popups on an in-memory host page, and run call scripts (cli_commands.h).
//
// The engine finds its configuration directory in the registry value
// HKEY_CURRENT_USER\Software\quillax (default). This program writes that value for the length of
// one run and puts the previous value back afterwards (devhost/installation.h).
//
// Text inside is GBK; the terminal sees UTF-8. Arguments are read as UTF-8 when they are valid
// UTF-8 that GBK can hold, otherwise as GBK bytes.
#include <cstdio>
#include <exception>
#include <string_view>
#include <vector>

#include "devhost/call_script.h"
#include "devhost/cli_commands.h"
#include "devhost/cli_text.h"
#include "devhost/installation.h"
#include "devhost/play_command.h"
#include "engine/state/render_state.h"

namespace quillax::cli {
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
    if (!args.empty() && args[0] == "calls") return RunCallsCommand(argc - 1, argv + 1, LoadInstallationWithIndexes);
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
    if (!LoadInstallation(args.empty() ? GbString("sample") : args[0], state)) return 1;
    PrintReport(state);
    return 0;
}

}  // namespace
}  // namespace quillax::cli

int main(int argc, char** argv) {
    try {
        const int status = quillax::cli::Run(argc, argv);
        std::fflush(stdout);
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillax-cli: %s\n", e.what());
    } catch (...) {
        std::fputs("quillax-cli: unexpected failure\n", stderr);
    }
    return 3;
}
