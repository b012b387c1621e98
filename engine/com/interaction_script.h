// Interaction scripts: whole user interactions (hover, wait, click, keys) played against the
// in-memory host page, printing every operation the engine performs on the host.
//
// A script is one command a line; blank lines and lines starting with "#" are skipped:
//   page HTML             the page body becomes HTML, as if the host page had written it
//   open KEY [POSITION]   the host opens a page (openchahtm)
//   hover SELECTOR        the mouse enters an element of the page (MouseOver)
//   leave                 the mouse leaves the element it is over (MouseOut)
//   click SELECTOR        left click on an element (MouseClick); "rclick": the right button
//   key KEY               a key (pF10): one character, "space", or "ctrl+enter" (line feed
//                         with Ctrl)
//   wait MS               time passes: the timers that fall due fire (open and close delays,
//                         auto-scroll)
//   pin                   the mouse moves over the popup's frame (pins a text popup)
//   wheel WD              GetWheel;  map NUMBER: linkmap;  search WORD: SearchWord
//   cursor X Y            the mouse position on the screen (default 200 150)
//   screen W H            the screen size (default 1024 768)
//   scroll Y              the page's scroll position;  height H: the page's body height
//   body                  prints the page body;  popup: prints the popup's body and state
//   history               prints the page window's history list
// A SELECTOR names an element of the page body: its id ("005"), "href=" and the href as
// written ("href=01001"), or "text=" and its inner text. Links come to the engine as a browser
// shows them: tag names in capitals, every attribute quoted and a relative href written after
// "about:blank".
//
// Every command is printed after "> ", followed by the host operations it caused, one a line,
// indented by two blanks (the FakeHost log, engine/testing/fake_host.h). Texts are GBK.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

class FakeHost;

// Plays script against a fresh FakeHost with one control of state (which should hold a loaded
// installation; a language switch writes its bible.ini). Appends the transcript to output.
// Returns 0 when every line was understood, 2 when some were not (they are reported in the
// transcript and skipped).
int RunInteractionScript(RenderState& state, std::string_view script, std::string& output);

// Keeps the state's timer service and sleep function for the length of a scripted session and
// puts them back at its end, letting go of the session's page window. Declared before the
// session's control, so that it is destroyed after it.
class ScopedEngineServices {
public:
    explicit ScopedEngineServices(RenderState& state)
        : state_(state), timers_(state.events.timers), sleep_(std::move(state.events.sleep)) {}
    ~ScopedEngineServices() {
        state_.events.timers = timers_;
        state_.events.sleep = std::move(sleep_);
        state_.host.pageWindow = nullptr;
    }
    ScopedEngineServices(const ScopedEngineServices&) = delete;
    ScopedEngineServices& operator=(const ScopedEngineServices&) = delete;

    RenderState& State() const { return state_; }

private:
    RenderState& state_;
    TimerService* timers_;
    std::function<void(int)> sleep_;
};

// Gives an in-memory host page the settings of a small desktop that scripts and page renderings
// assume: screen 1024 x 768, the mouse at (200, 150), a 16-pixel font, a 600-pixel body, a
// popup whose content is 120 pixels high.
void PrepareSmallDesktop(FakeHost& host);

// Loads the installation of a directory into a fresh state; false when there is none.
using InstallationLoader = std::function<bool(const GbString& installDir, RenderState& state)>;

// The "interact" subcommand of the command-line host:
//   interact INSTALL_DIR [SCRIPT_FILE]
// reads the script (UTF-8, or GBK) from the file or from standard input and prints the
// transcript in UTF-8. argv[0] is the subcommand's own name. Exit status: 0 done, 1 no
// installation or no script file, 2 bad usage or a line not understood.
int RunInteractCommand(int argc, char** argv, const InstallationLoader& load);

}  // namespace quillax
