// The Windows update dialog (dialog resource 102): the front of the update flow on its status
// text (1012, two lines), list box (1011), progress bar (1002) and default button (1), with
// message boxes owned by the dialog, the wait cursor during the apply pass and a message pump
// during downloads. The dialog opens in the middle of the screen. Enter presses the default
// button; Esc, Cancel and the close box end the dialog, also during a download. Pressed while a
// pass runs they hide it at once and ask the pass to stop (at the next read of a download or
// before the next entry, never inside an extraction), and the dialog closes when the pass
// returns.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "textlib/gb_string.h"
#include "updater/front.h"
#include "updater/update_flow.h"

namespace quillax::win32 {

// The front on the dialog's controls. Before the window exists (the flow sets its first status
// text in its constructor) texts are kept and shown when the dialog is attached.
class DialogFront : public UpdateFront {
public:
    DialogFront() = default;

    // Binds the front to the dialog window and shows what was set before.
    void Attach(HWND dialog);
    void Detach() { dialog_ = nullptr; }
    HWND Window() const { return dialog_; }

    void SetStatus(std::string_view text) override;
    GbString Status() const override;
    void AddLine(std::string_view line) override;
    void DeleteFirstLine() override;
    void SetProgress(int percent) override;
    void SetDefaultButton(std::string_view caption, bool enabled) override;
    void SetBusy(bool busy) override;
    void ProcessPendingMessages() override;
    void ShowMessage(std::string_view text, MessageIcon icon) override;
    bool AskOkCancel(std::string_view text) override;
    bool CancelRequested() const override { return cancelRequested_; }

    bool Busy() const { return busy_; }
    // Cancel or the close box while a pass runs.
    void RequestCancel() { cancelRequested_ = true; }

private:
    HWND Control(int id) const;
    // The default button's caption and state on the dialog. The keyboard always has an enabled
    // control and a default button: the button when enabled, else Cancel.
    void ShowDefaultButton();
    // Whether the focus is on an enabled control of the dialog other than `except`.
    bool FocusOnEnabledControl(HWND except) const;

    HWND dialog_ = nullptr;
    GbString status_;
    GbString caption_;
    bool enabled_ = true;
    bool busy_ = false;
    bool cancelRequested_ = false;
    HCURSOR savedCursor_ = nullptr;
};

// A message box owned by `owner` (none: the program's own box) with the program's name as its
// caption. QUILLAX_MESSAGE_ANSWER answers it without showing it (platform/message_box.h); OK
// then stands for Yes. Returns true for OK.
bool ShowProgramMessage(HWND owner, std::string_view text, MessageIcon icon, bool okCancel = false);

// Shows the dialog modally over the flow that `makeFlow` creates (the flow opens the internet
// session and sets the first status text, so it is made before the dialog). The flow is
// destroyed, closing the connection and then the session, when the window is destroyed.
class UpdateDialog {
public:
    using FlowFactory = std::function<std::unique_ptr<UpdateFlow>(DialogFront& front)>;

    UpdateDialog(HINSTANCE instance, FlowFactory makeFlow);
    // Runs the dialog until it closes; returns the DialogBox result (IDOK after "完成(&O)").
    INT_PTR Run();

    UpdateFlow* Flow() { return flow_.get(); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void OnDefaultButton(HWND window);
    void OnCancel(HWND window);
    bool PaintMinimised(HWND window);

    HINSTANCE instance_;
    DialogFront front_;
    std::unique_ptr<UpdateFlow> flow_;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool running_ = false;      // a pass is running (the default button's handler)
    bool closePending_ = false; // Cancel was pressed while a pass ran
};

}  // namespace quillax::win32
