// The console front of the updater (the Linux program): the status line and the list lines as
// text lines, a progress bar when the output is a terminal, and questions as prompts.
//
// Output lines:   "* <status>"   a new status text
//                 "  <line>"     a line added to the list
//                 "! <message>"  a message (to the error stream)
//                 "? <question> [y/n] "  a question
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "updater/front.h"
#include "updater/update_flow.h"

namespace quillax {

struct ConsoleOptions {
    bool assumeYes = false;   // every question is answered with yes (--yes)
    bool checkOnly = false;   // list what needs updating, install nothing (--check)
    bool progressBar = false; // the output is a terminal: draw the progress bar
};

class ConsoleFront : public RecordingFront {
public:
    // `encode` turns the program's GBK text into the console's encoding.
    ConsoleFront(std::ostream& out, std::ostream& err, std::istream& in, ConsoleOptions options,
                 std::function<std::string(std::string_view)> encode);

    void SetStatus(std::string_view text) override;
    void AddLine(std::string_view line) override;
    void SetProgress(int percent) override;
    void ShowMessage(std::string_view text, MessageIcon icon) override;
    bool AskOkCancel(std::string_view text) override;
    // Cancel as the console program takes it: `cancelSource` (the interrupt key), besides the
    // recorded flag.
    bool CancelRequested() const override;

    std::function<bool()> cancelSource;

    // A yes/no question on the console; `--yes` answers it, end of input says no.
    bool Confirm(std::string_view question);

private:
    void EndProgressLine();
    std::string Encode(std::string_view text) const;

    std::ostream& out_;
    std::ostream& err_;
    std::istream& in_;
    ConsoleOptions options_;
    std::function<std::string(std::string_view)> encode_;
    bool barShown_ = false;
    int lastDrawn_ = -1;
};

// Presses the flow's default button the way a user at the console would: check, ask before
// installing (unless --yes, or stop after the check with --check), install, finish. The
// session ends when the button is left disabled (nothing to do, a failure).
void RunConsoleSession(UpdateFlow& flow, ConsoleFront& front, const ConsoleOptions& options);

}  // namespace quillax
