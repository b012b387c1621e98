// The front seam of the updater: everything the update logic shows to the user or asks of
// the user. The Windows program implements it with its dialog (status text, list box,
// progress bar, default button, message boxes); the Linux program with console text and
// prompts; tests with a front that records what it is shown.
//
// All texts are GBK.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "textlib/gb_string.h"

namespace quillax {

enum class MessageIcon { None, Stop };

class UpdateFront {
public:
    virtual ~UpdateFront() = default;

    // The status line (a single text that each step replaces).
    virtual void SetStatus(std::string_view text) = 0;
    virtual GbString Status() const = 0;
    // The list of progress lines.
    virtual void AddLine(std::string_view line) = 0;
    virtual void DeleteFirstLine() = 0;
    // The progress bar, 0 to 100.
    virtual void SetProgress(int percent) = 0;
    // The default button: its caption names the next step; a disabled button leaves only
    // Cancel.
    virtual void SetDefaultButton(std::string_view caption, bool enabled) = 0;
    // The wait cursor while the apply pass runs.
    virtual void SetBusy(bool busy) = 0;
    // Lets the user interface breathe during a download (the dialog repaints and takes Cancel).
    virtual void ProcessPendingMessages() = 0;
    // Whether the user asked to cancel the running pass (the dialog's Cancel or close box, the
    // console's interrupt key). The pass stops at the next read of a download or before the
    // next entry, never inside an extraction.
    virtual bool CancelRequested() const = 0;
    // A message with an OK button.
    virtual void ShowMessage(std::string_view text, MessageIcon icon) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool AskOkCancel(std::string_view text) = 0;
};

// A front that keeps what it is shown; the console front builds on it and tests use it as it
// is. Questions get the answer set in `answerOk`; Cancel is pressed by setting
// `cancelRequested`, during a download from `onPump` (where the dialog would take the click).
class RecordingFront : public UpdateFront {
public:
    struct Message {
        GbString text;
        MessageIcon icon = MessageIcon::None;
    };

    void SetStatus(std::string_view text) override {
        status = GbString(text);
        statusHistory.emplace_back(text);
    }
    GbString Status() const override { return status; }
    void AddLine(std::string_view line) override { lines.emplace_back(line); }
    void DeleteFirstLine() override {
        if (!lines.empty()) {
            lines.erase(lines.begin());
        }
    }
    void SetProgress(int percent) override {
        progress = percent;
        progressHistory.push_back(percent);
    }
    void SetDefaultButton(std::string_view caption, bool enabled) override {
        buttonCaption = GbString(caption);
        buttonEnabled = enabled;
    }
    void SetBusy(bool value) override { busy = value; }
    void ProcessPendingMessages() override {
        ++pumpCount;
        if (onPump) {
            onPump();
        }
    }
    bool CancelRequested() const override { return cancelRequested; }
    void ShowMessage(std::string_view text, MessageIcon icon) override {
        messages.push_back({GbString(text), icon});
    }
    bool AskOkCancel(std::string_view text) override {
        questions.emplace_back(text);
        return answerOk;
    }

    GbString status;
    std::vector<GbString> statusHistory;
    std::vector<GbString> lines;
    int progress = 0;
    std::vector<int> progressHistory;
    GbString buttonCaption;
    bool buttonEnabled = true;
    bool busy = false;
    int pumpCount = 0;
    bool cancelRequested = false;
    std::function<void()> onPump;  // what the user does while a download runs
    std::vector<Message> messages;
    std::vector<GbString> questions;
    bool answerOk = true;
};

}  // namespace quillax
