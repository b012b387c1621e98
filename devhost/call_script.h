// Call scripts: the members of the engine's control called one by one against the in-memory
// host page, each host operation printed as a JSON line. People use them to reproduce a
// behaviour exactly; tests use them to check what the engine does to the page.
//
// A script is one JSON object a line (UTF-8). Blank lines and lines starting with "#" are
// comments. A line holds one or more of these parts, carried out in this order:
//
//   "host":  {...}   sets the page the fake host shows before anything else on the line:
//                    "cursor": [X, Y], "screen": [W, H], "body": HTML, "bodyHeight": PX,
//                    "scrollTop": PX, "url": TEXT, "popupHeight": PX, "charWidth": PX,
//                    "document": BOOL, "hasBody": BOOL, "styleSheet": BOOL
//   "event": {...}   the browser's current event and its element (null: no current event):
//                    "tag", "id", "title", "href", "outerHtml", "text" (inner text and HTML),
//                    "innerText", "innerHtml", "button" (default 1 for MouseClick, else 0),
//                    "keyCode" (a number or a one-character text), "ctrl", "alt", "shift".
//                    Without "outerHtml" it is written as the browser would:
//                    <TAG href="about:blankHREF" id="ID" title="TITLE">innerHtml</TAG>
//                    (attributes only when given; an href holding ":" is kept as it is).
//   "call":  NAME    a member of the control, with "args": [...] in the order of the member:
//                      init [WINDOW, TITLE]            MouseClick, MouseOut, MouseOver, pF10
//                      SearchWord [WORD, EXCLUDED, EXTEND, WINDOW]
//                      getcfg [NAME, VALUE]            GetWheel [WD]     linkmap [TUNO]
//                      openchahtm [KEY, NOLINKS, POSITION]               AddBibleLink
//                      Ver                             FixResult [TEXT]
//                      Changed (reads it) or Changed [N] (writes it)
//                    WINDOW is "page" (the host page, the default) or null (no window); missing
//                    arguments are empty texts and 0. getcfg's VALUE is what the variable held
//                    before the call. The get_ and put_ forms of the property names are
//                    accepted too.
//   "wait":  MS      (with "call") time passes after the call: the timers that fall due fire
//   "advance": MS    (without "call") the same on a line of its own
//   "show":  WHAT    prints "body" (the page body), "popup" (the popup's state and body) or
//                    "history" (the page window's history list)
//
// Output, one JSON object a line, UTF-8:
//   {"op":"SetBodyInnerHtml","args":["<p>..."]}        every host and popup operation, in order
//                                                      (numbers of scrolls and moves as numbers)
//   {"line":3,"call":"getcfg","result":0,"value":"1"}  after the operations of a call: its
//                                                      result (0 S_OK, 1 S_FALSE) and the text
//                                                      it returned, if any
//   {"line":4,"advance":500,"clock":1200}              after the operations the timers caused
//   {"line":5,"body":"..."}, {"line":5,"popup":{...}}, {"line":5,"history":[...]}
//   {"line":6,"error":"..."}                           a line that was not understood; it is
//                                                      skipped and the run goes on
// The control starts bound to the host page (init already called, its operations not shown),
// on a small desktop (screen 1024 x 768, the mouse at 200, 150), with the timer clock at 0.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "devhost/host_session.h"
#include "engine/state/render_state.h"

namespace quillax {

class FakeHost;
class ManualTimerService;

// One control of a loaded state on a fresh fake host, for the lines of one script.
class CallSession {
public:
    explicit CallSession(RenderState& state);
    ~CallSession();
    CallSession(const CallSession&) = delete;
    CallSession& operator=(const CallSession&) = delete;

    // Runs one script line (lineNumber is shown in the output). Appends the output lines to out.
    // A comment or blank line does nothing. False, with the reason in error and an error line
    // in out, for a line that is not understood; nothing of it was carried out then.
    bool Run(std::string_view line, int lineNumber, std::string& out, std::string& error);

    FakeHost& Host();
    ManualTimerService& Timers();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs a whole script (lines separated by LF; a CR before it is dropped). Appends the output
// to out and one message per bad line ("line N: reason") to errors. Returns 0 when every line
// was understood, 1 otherwise.
int RunCallScript(RenderState& state, std::string_view script, std::string& out,
                  std::string& errors);

// The "calls" subcommand of the command-line host:
//   calls INSTALL_DIR [SCRIPT_FILE | -]
// reads the script from the file or from standard input ("-" or nothing) and prints the output
// as it goes; the messages of bad lines go to standard error as well. argv[0] is the
// subcommand's own name. Exit status: 0 done, 1 no installation, no script file or a line not
// understood, 2 bad usage.
int RunCallsCommand(int argc, char** argv, const InstallationLoader& load);

}  // namespace quillax
