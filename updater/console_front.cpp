#include "updater/console_front.h"

#include <istream>
#include <ostream>

#include "textlib/text_helpers.h"
#include "updater/texts.h"

namespace quillax {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

ConsoleFront::ConsoleFront(std::ostream& out, std::ostream& err, std::istream& in,
                           ConsoleOptions options, std::function<std::string(std::string_view)> encode)
    : out_(out), err_(err), in_(in), options_(options), encode_(std::move(encode)) {}

std::string ConsoleFront::Encode(std::string_view text) const {
    return encode_ ? encode_(text) : std::string(text);
}

void ConsoleFront::EndProgressLine() {
    if (barShown_) {
        out_ << '\n';
        barShown_ = false;
        lastDrawn_ = -1;
    }
}

void ConsoleFront::SetStatus(std::string_view text) {
    RecordingFront::SetStatus(text);
    EndProgressLine();
    out_ << "* " << Encode(SingleDisplayLine(text)) << std::endl;
}

void ConsoleFront::AddLine(std::string_view line) {
    RecordingFront::AddLine(line);
    EndProgressLine();
    out_ << "  " << Encode(SingleDisplayLine(line)) << std::endl;
}

void ConsoleFront::SetProgress(int percent) {
    RecordingFront::SetProgress(percent);
    if (!options_.progressBar || percent == lastDrawn_) {
        return;
    }
    const int filled = percent * kBarWidth / 100;
    out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] ";
    out_.width(3);
    out_ << percent << '%' << std::flush;
    barShown_ = true;
    lastDrawn_ = percent;
}

void ConsoleFront::ShowMessage(std::string_view text, MessageIcon icon) {
    RecordingFront::ShowMessage(text, icon);
    EndProgressLine();
    err_ << "! " << Encode(SingleDisplayLine(text)) << std::endl;
}

bool ConsoleFront::AskOkCancel(std::string_view text) {
    RecordingFront::AskOkCancel(text);
    return Confirm(text);
}

bool ConsoleFront::CancelRequested() const {
    return RecordingFront::CancelRequested() || (cancelSource && cancelSource());
}

bool ConsoleFront::Confirm(std::string_view question) {
    EndProgressLine();
    out_ << "? " << Encode(SingleDisplayLine(question)) << " [y/n] ";
    if (options_.assumeYes) {
        out_ << "y" << std::endl;
        return true;
    }
    out_ << std::flush;
    std::string answer;
    if (!std::getline(in_, answer)) {
        out_ << std::endl;
        return false;  // no input (a script without --yes): the safe answer
    }
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) {
        answer.pop_back();
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

void RunConsoleSession(UpdateFlow& flow, ConsoleFront& front, const ConsoleOptions& options) {
    flow.Initialise();
    for (;;) {
        if (!front.buttonEnabled) {
            return;  // nothing to do, or a failure left only Cancel
        }
        switch (flow.NextStep()) {
            case UpdateFlow::Step::Check: {
                flow.PressDefault();
                if (flow.NextStep() == UpdateFlow::Step::Check) {
                    return;  // the server could not be reached; the status says so
                }
                break;
            }
            case UpdateFlow::Step::Apply:
                if (options.checkOnly || !front.Confirm(updater_text::kQuestionInstallNow)) {
                    return;
                }
                flow.PressDefault();
                break;
            case UpdateFlow::Step::Finish:
                flow.PressDefault();
                return;
            case UpdateFlow::Step::Closed:
                return;
        }
    }
}

}  // namespace quillax
