#include "updater/win32/update_dialog.h"

#include <commctrl.h>

#include <vector>

#include "platform/message_box.h"
#include "textlib/text_helpers.h"
#include "updater/win32/resource_ids.h"

namespace quillax::win32 {
namespace {

// The caption of the program's message boxes.
constexpr char kProgramName[] = "cvupdate";
// Attempts to take a pending message after each read of a download.
constexpr int kPumpAttempts = 10;
// The bit of a key message's lParam set when the key was already down (an auto-repeat).
constexpr LPARAM kKeyWasDown = LPARAM{1} << 30;

std::string NulTerminated(std::string_view text) { return std::string(text); }

UpdateDialog* DialogOf(HWND window) {
    return reinterpret_cast<UpdateDialog*>(GetWindowLongPtrA(window, DWLP_USER));
}

}  // namespace

bool ShowProgramMessage(HWND owner, std::string_view text, MessageIcon icon, bool okCancel) {
    const auto scripted = platform::ScriptedAnswer(okCancel ? platform::MessageButtons::YesNo
                                                            : platform::MessageButtons::Ok);
    if (scripted) {
        return *scripted == platform::MessageAnswer::Ok || *scripted == platform::MessageAnswer::Yes;
    }
    UINT type = okCancel ? MB_OKCANCEL : MB_OK;
    if (icon == MessageIcon::Stop) {
        type |= MB_ICONSTOP;
    }
    const std::string message = NulTerminated(text);
    return MessageBoxA(owner, message.c_str(), kProgramName, type) == IDOK;
}

// ---- DialogFront -------------------------------------------------------------------------------

HWND DialogFront::Control(int id) const {
    return dialog_ != nullptr ? GetDlgItem(dialog_, id) : nullptr;
}

void DialogFront::Attach(HWND dialog) {
    dialog_ = dialog;
    SendMessageA(Control(IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetWindowTextA(Control(IDC_STATUS), status_.c_str());
    if (!caption_.IsEmpty()) {
        ShowDefaultButton();
    }
}

bool DialogFront::FocusOnEnabledControl(HWND except) const {
    HWND focus = GetFocus();
    return focus != nullptr && focus != except && IsChild(dialog_, focus) && IsWindowEnabled(focus);
}

void DialogFront::ShowDefaultButton() {
    HWND button = Control(IDOK);
    HWND cancel = Control(IDCANCEL);
    if (button == nullptr || cancel == nullptr) {
        return;
    }
    SetWindowTextA(button, caption_.c_str());
    if (enabled_) {
        // The next step is ready: Enter takes it. The focus comes back from Cancel (where a pass
        // left it), unless the user has put it on another control meanwhile.
        EnableWindow(button, TRUE);
        SendMessageA(dialog_, DM_SETDEFID, IDOK, 0);
        if (!FocusOnEnabledControl(cancel)) {
            SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
        }
        return;
    }
    // Cancel becomes the default and takes the focus before the button is disabled: a disabled
    // window loses the focus, and the keyboard would then reach no control at all.
    SendMessageA(dialog_, DM_SETDEFID, IDCANCEL, 0);
    if (!FocusOnEnabledControl(button)) {
        SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(cancel), TRUE);
    }
    EnableWindow(button, FALSE);
}

void DialogFront::SetStatus(std::string_view text) {
    status_ = GbString(text);
    if (HWND status = Control(IDC_STATUS)) {
        SetWindowTextA(status, status_.c_str());
    }
}

GbString DialogFront::Status() const {
    // The text is read back from the control, which holds what the user sees.
    HWND status = Control(IDC_STATUS);
    if (status == nullptr) {
        return status_;
    }
    const int length = GetWindowTextLengthA(status);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextA(status, buffer.data(), length + 1);
    return GbString(std::string_view(buffer.data(), static_cast<std::size_t>(got > 0 ? got : 0)));
}

void DialogFront::AddLine(std::string_view line) {
    // One list line for each call; a line break or other control character inside would be
    // drawn as a box.
    const std::string text = SingleDisplayLine(line);
    HWND list = Control(IDC_LIST);
    const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0) {
        // The newest line in view (the list box stops at its last page), so the user can follow
        // the pass.
        SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    }
}

void DialogFront::DeleteFirstLine() { SendMessageA(Control(IDC_LIST), LB_DELETESTRING, 0, 0); }

void DialogFront::SetProgress(int percent) {
    SendMessageA(Control(IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void DialogFront::SetDefaultButton(std::string_view caption, bool enabled) {
    caption_ = GbString(caption);
    enabled_ = enabled;
    if (dialog_ != nullptr) {
        ShowDefaultButton();
    }
}

void DialogFront::SetBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        savedCursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    } else {
        SetCursor(savedCursor_ != nullptr ? savedCursor_ : LoadCursor(nullptr, IDC_ARROW));
        savedCursor_ = nullptr;
    }
}

void DialogFront::ProcessPendingMessages() {
    MSG message;
    for (int attempt = 0; attempt < kPumpAttempts; ++attempt) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Leave the quit request for the message loop that owns it.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            // A held Enter repeats its key: the repeats would press the default button of the
            // running pass, Cancel. Other keys work as in the dialog's own loop (Esc presses
            // Cancel, Tab moves the focus).
            if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN &&
                (message.lParam & kKeyWasDown) != 0) {
                continue;
            }
            if (dialog_ != nullptr && IsDialogMessageA(dialog_, &message)) {
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void DialogFront::ShowMessage(std::string_view text, MessageIcon icon) {
    ShowProgramMessage(dialog_, text, icon);
}

bool DialogFront::AskOkCancel(std::string_view text) {
    return ShowProgramMessage(dialog_, text, MessageIcon::None, true);
}

// ---- UpdateDialog ------------------------------------------------------------------------------

UpdateDialog::UpdateDialog(HINSTANCE instance, FlowFactory makeFlow) : instance_(instance) {
    flow_ = makeFlow(front_);
}

INT_PTR UpdateDialog::Run() {
    return DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_CVUPDATE), nullptr, &UpdateDialog::Procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK UpdateDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    UpdateDialog* dialog = DialogOf(window);
    if (dialog == nullptr) {
        return FALSE;
    }
    try {
        return dialog->Handle(window, message, wParam, lParam);
    } catch (...) {
        // No exception leaves a window procedure; the dialog ends instead.
        EndDialog(window, IDABORT);
        return TRUE;
    }
}

INT_PTR UpdateDialog::Handle(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnDefaultButton(window);
                    return TRUE;
                case IDCANCEL:
                    OnCancel(window);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_SETCURSOR:
            if (front_.Busy()) {
                SetCursor(LoadCursor(nullptr, IDC_WAIT));
                SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            return PaintMinimised(window) ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(icon_);
        case WM_DESTROY:
            // The connection to the server, then the internet session.
            flow_.reset();
            front_.Detach();
            return FALSE;
        default:
            return FALSE;
    }
}

void UpdateDialog::OnInitDialog(HWND window) {
    icon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_CVUPDATE), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_CVUPDATE), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    front_.Attach(window);
    if (flow_) {
        flow_->Initialise();
    }
}

void UpdateDialog::OnDefaultButton(HWND window) {
    if (running_ || !flow_) {
        return;  // the button is disabled while a pass runs; a queued click is dropped
    }
    running_ = true;
    flow_->PressDefault();
    running_ = false;
    if (closePending_) {
        EndDialog(window, IDCANCEL);
    } else if (flow_->NextStep() == UpdateFlow::Step::Closed) {
        EndDialog(window, IDOK);
    }
}

void UpdateDialog::OnCancel(HWND window) {
    if (running_) {
        // The pass stops at its next read or entry; the dialog closes when it returns.
        closePending_ = true;
        front_.RequestCancel();
        ShowWindow(window, SW_HIDE);
        return;
    }
    EndDialog(window, IDCANCEL);
}

bool UpdateDialog::PaintMinimised(HWND window) {
    if (!IsIconic(window)) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC context = BeginPaint(window, &paint);
    SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(context, x, y, icon_);
    EndPaint(window, &paint);
    return true;
}

}  // namespace quillax::win32
