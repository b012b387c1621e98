// Answers a question box of another program the way a person at the keyboard does, for
// tests/wine/setup_actions.sh: waits for a message box with Yes and No buttons, reports how it
// looks, and presses Enter.
//
//   envoke_question_driver.exe REPORT_FILE
//
// The report (GBK text):
//   caption <caption of the box>
//   icon <0/1>        whether the box shows an icon
//   default <id>      the button drawn as the default (6 Yes, 7 No, 2 Cancel)
//   focus <id>        the control that has the keyboard focus
//   == closed         the box closed after Enter
// Ends with exit code 0, or with a line "error <what>" and exit code 1.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::FILE* report = nullptr;

int Fail(const char* what) {
    std::fprintf(report, "error %s\n", what);
    std::fclose(report);
    return 1;
}

// A dialog of another process with both a Yes and a No button: a question box.
BOOL CALLBACK FindQuestion(HWND window, LPARAM parameter) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (lstrcmpA(className, "#32770") == 0 && process != GetCurrentProcessId() && IsWindowVisible(window) &&
        GetDlgItem(window, IDYES) != nullptr && GetDlgItem(window, IDNO) != nullptr) {
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    return TRUE;
}

// Whether a shown static control of the box holds an icon.
BOOL CALLBACK FindIcon(HWND child, LPARAM parameter) {
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
        SendMessageA(child, STM_GETICON, 0, 0) != 0) {
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: envoke_question_driver REPORT_FILE\n");
        return 2;
    }
    report = std::fopen(argv[1], "wb");
    if (report == nullptr) {
        return 2;
    }
    HWND box = nullptr;
    for (int i = 0; i < 600 && box == nullptr; ++i) {
        EnumWindows(&FindQuestion, reinterpret_cast<LPARAM>(&box));
        if (box == nullptr) {
            Sleep(100);
        }
    }
    if (box == nullptr) {
        return Fail("no question box within 60 s");
    }
    Sleep(300);  // let the box finish its initialisation

    char caption[512] = {};
    GetWindowTextA(box, caption, sizeof caption);
    std::fprintf(report, "caption %s\n", caption);
    bool icon = false;
    EnumChildWindows(box, &FindIcon, reinterpret_cast<LPARAM>(&icon));
    std::fprintf(report, "icon %d\n", icon ? 1 : 0);
    // The default button is the one drawn as such, with the default push button's style.
    int defaultId = 0;
    for (const int id : {IDYES, IDNO, IDCANCEL}) {
        HWND button = GetDlgItem(box, id);
        if (button != nullptr && (GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            defaultId = id;
        }
    }
    std::fprintf(report, "default %d\n", defaultId);

    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    const DWORD threadId = GetWindowThreadProcessId(box, nullptr);
    HWND focus = GetGUIThreadInfo(threadId, &thread) ? thread.hwndFocus : nullptr;
    std::fprintf(report, "focus %d\n", focus != nullptr ? GetDlgCtrlID(focus) : 0);

    // Enter goes to the control that has the focus; the box's dialog loop turns it into a click.
    PostMessageA(focus != nullptr ? focus : box, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(focus != nullptr ? focus : box, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC01C0001u));
    for (int i = 0; i < 100 && IsWindow(box); ++i) {
        Sleep(100);
    }
    if (IsWindow(box)) {
        return Fail("the box stayed open 10 s after Enter");
    }
    std::fprintf(report, "== closed\n");
    std::fclose(report);
    return 0;
}
