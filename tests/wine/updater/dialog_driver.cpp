// Drives cvupdate.exe's dialog from another process for tests/wine/updater_dialog.sh, the way a
// user would: waits for the dialog, writes what it shows, goes through the check and the apply
// pass with the keyboard alone and closes the dialog with Enter on "完成(&O)".
//
//   cvupdate_dialog_driver.exe REPORT_FILE CVUPDATE_EXE
//   cvupdate_dialog_driver.exe --escape REPORT_FILE CVUPDATE_EXE
//   cvupdate_dialog_driver.exe --cancel REPORT_FILE
//   cvupdate_dialog_driver.exe --idle
//
// Keys are typed as a person types them (SendInput): they reach whatever control has the focus
// of the dialog in front, so a dialog that lost its keyboard focus does not react.
// --escape: Enter, then Tab and Shift+Tab ("tab <id>", "shift-tab <id>": the control that took
// the focus), Enter again, and Esc while a download is under way (stage "downloading"); the
// program must close the dialog at most 10 s later ("== closed").
// --cancel: next, then update, pressed with the mouse's message; answers the question about the
// running product with OK ("question <text>" in the report), waits until a download is under
// way ("downloading <status>"), presses Cancel and waits for the program to close the dialog
// ("== closed", at most 10 s later).
// --idle: does nothing for two minutes (a stand-in for the product the update must end).
//
// The report (GBK text) starts with the font of dialog resource 102 as CVUPDATE_EXE holds it
// ("template-font <face name> <points>") and holds one block per stage ("== initial",
// "== checked", "== applied"; with --escape "== initial", "== checked", "== downloading"):
//   caption <window caption>
//   client <width> <height>                          the client area in pixels
//   control <id> <class> <x> <y> <w> <h> [<text>]   every child window, positions in dialog units
//                                                    (found from the client area of 323 x 185)
//   font-matches <0/1>   the template's font, made here, has the height of the dialog's base unit
//   centred <0/1> <dx> <dy>   the window's centre against the work area's, in pixels
//   status <text>      button <caption> <enabled 0/1>      progress <position>
//   status-whole <0/1> <text width> <text height> <control width> <control height>
//                      the status text laid out as its control lays it out fits the control
//   focus <id> <enabled 0/1>      default <id>      (none: "focus none", "default none")
//   line <text>        every line of the list box
//   list-control-lines <n>    lines holding a control character (drawn as a box)
//   list-last-shown <0/1> <top index> <lines in view> <count>
// After each stage the driver creates REPORT_FILE.<stage>.ready and waits for
// REPORT_FILE.<stage>.go (the script takes a screenshot meanwhile). It ends with "== closed" and
// exit code 0, or with a line "error <what>" and exit code 1 when a stage is not reached within
// its time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr char kDialogCaption[] = "Tessaly在线更新 1.0";
constexpr char kCaptionUpdate[] = "更新(&U)";
constexpr char kCaptionFinish[] = "完成(&O)";
constexpr int kListId = 1011;
constexpr int kStatusId = 1012;
constexpr int kProgressId = 1002;
constexpr char kStatusDownloading[] = "正在下载文件：";

std::FILE* report = nullptr;
std::string reportPath;

// The font of dialog resource 102 (from CVUPDATE_EXE).
struct TemplateFont {
    std::wstring face;
    int points = 0;
    int weight = 0;
    BYTE italic = 0;
};
TemplateFont templateFont;

// The dialog's size in dialog units (dialog resource 102).
constexpr long kDialogWidth = 323;
constexpr long kDialogHeight = 185;

// The text of a window of the other process, as the system keeps it (no message is sent).
std::string TextOf(HWND window) {
    char buffer[4096];
    const int length = GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

// A text on one report line: line breaks written as "\n".
std::string OneLine(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

// The dialog-unit value that MapDialogRect turns into `pixels` along an axis of `base` pixels
// per `units` dialog units.
long ToDialogUnits(long pixels, long base, long units) {
    const long guess = pixels * units / base;
    for (long d = guess - 2; d <= guess + 2; ++d) {
        if (MulDiv(static_cast<int>(d), static_cast<int>(base), static_cast<int>(units)) == pixels) {
            return d;
        }
    }
    return -1000 - pixels;  // no exact value: the report shows the raw pixels
}

std::wstring WideTextOf(HWND window) {
    wchar_t buffer[4096];
    const int length = GetWindowTextW(window, buffer, 4096);
    return std::wstring(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

// A UTF-16 text in the report's code page.
std::string Narrow(const std::wstring& wide) {
    std::vector<char> text(wide.size() * 2 + 1);
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text.data();
}

// The dialog's font, made from the template as the dialog manager makes it.
HFONT MakeTemplateFont(HDC dc) {
    const int pixels = MulDiv(templateFont.points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    return CreateFontW(-pixels, 0, 0, 0, templateFont.weight, templateFont.italic, FALSE, FALSE, DEFAULT_CHARSET,
                       0, 0, PROOF_QUALITY, FF_DONTCARE, templateFont.face.c_str());
}

// Whether the status text, laid out as its static control lays it out (its style read back from
// the control), fits the control's client area: nothing of it is cut off.
void DumpStatusFit(HWND status, long baseY) {
    RECT client;
    GetClientRect(status, &client);
    const LONG style = GetWindowLongA(status, GWL_STYLE);
    UINT format = DT_CALCRECT | DT_EXPANDTABS;
    if ((style & SS_TYPEMASK) == SS_LEFT || (style & SS_TYPEMASK) == SS_CENTER ||
        (style & SS_TYPEMASK) == SS_RIGHT) {
        format |= DT_WORDBREAK;
    }
    if ((style & SS_EDITCONTROL) != 0) {
        format |= DT_EDITCONTROL;
    }
    if ((style & SS_NOPREFIX) != 0) {
        format |= DT_NOPREFIX;
    }
    HDC dc = GetDC(nullptr);
    HFONT font = MakeTemplateFont(dc);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT needed{0, 0, client.right, 0};
    const std::wstring text = WideTextOf(status);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    std::fprintf(report, "font-matches %d\n", metrics.tmHeight == baseY ? 1 : 0);
    const bool whole = needed.right <= client.right && needed.bottom <= client.bottom;
    std::fprintf(report, "status-whole %d %ld %ld %ld %ld\n", whole ? 1 : 0, needed.right, needed.bottom,
                 client.right, client.bottom);
}

// The window's centre against the centre of the work area of its monitor.
void DumpCentring(HWND dialog) {
    RECT window;
    GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const long dx = (window.left + window.right - monitor.rcWork.left - monitor.rcWork.right) / 2;
    const long dy = (window.top + window.bottom - monitor.rcWork.top - monitor.rcWork.bottom) / 2;
    std::fprintf(report, "centred %d %ld %ld\n", dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1 ? 1 : 0, dx, dy);
}

// The control with the keyboard focus of the dialog's thread and the dialog's default button.
int FocusedId(HWND dialog, HWND* focused = nullptr) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || info.hwndFocus == nullptr ||
        !IsChild(dialog, info.hwndFocus)) {
        return 0;
    }
    if (focused != nullptr) {
        *focused = info.hwndFocus;
    }
    return GetDlgCtrlID(info.hwndFocus);
}

void DumpKeyboard(HWND dialog) {
    HWND focused = nullptr;
    const int id = FocusedId(dialog, &focused);
    if (id == 0) {
        std::fprintf(report, "focus none\n");
    } else {
        std::fprintf(report, "focus %d %d\n", id, IsWindowEnabled(focused) ? 1 : 0);
    }
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0 &&
        HIWORD(answer) == DC_HASDEFID) {
        std::fprintf(report, "default %u\n", static_cast<unsigned>(LOWORD(answer)));
    } else {
        std::fprintf(report, "default none\n");
    }
}

struct DumpContext {
    HWND dialog;
    long baseX;
    long baseY;
};

BOOL CALLBACK DumpControl(HWND child, LPARAM parameter) {
    const auto* context = reinterpret_cast<const DumpContext*>(parameter);
    if (GetParent(child) != context->dialog) {
        return TRUE;
    }
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    RECT rect;
    GetWindowRect(child, &rect);
    POINT topLeft{rect.left, rect.top};
    ScreenToClient(context->dialog, &topLeft);
    const long width = rect.right - rect.left;
    const long height = rect.bottom - rect.top;
    const bool picture = (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP &&
                         lstrcmpiA(className, "Static") == 0;
    std::fprintf(report, "control %d %s %ld %ld %ld %ld %s\n", GetDlgCtrlID(child), className,
                 ToDialogUnits(topLeft.x, context->baseX, 4), ToDialogUnits(topLeft.y, context->baseY, 8),
                 ToDialogUnits(width, context->baseX, 4), ToDialogUnits(height, context->baseY, 8),
                 picture ? "" : OneLine(TextOf(child)).c_str());
    return TRUE;
}

void Dump(HWND dialog, const char* stage) {
    std::fprintf(report, "== %s\n", stage);
    std::fprintf(report, "caption %s\n", TextOf(dialog).c_str());
    const LONG exStyle = GetWindowLongA(dialog, GWL_EXSTYLE);
    std::fprintf(report, "appwindow %d\n", (exStyle & WS_EX_APPWINDOW) != 0 ? 1 : 0);
    // MapDialogRect works only inside the dialog's process: the base units are those that give
    // the client area its size.
    RECT client;
    GetClientRect(dialog, &client);
    DumpContext context{dialog, 0, 0};
    for (long base = 1; base < 64; ++base) {
        if (context.baseX == 0 && MulDiv(kDialogWidth, base, 4) == client.right) {
            context.baseX = base;
        }
        if (context.baseY == 0 && MulDiv(kDialogHeight, base, 8) == client.bottom) {
            context.baseY = base;
        }
    }
    std::fprintf(report, "client %ld %ld\n", client.right, client.bottom);
    if (context.baseX == 0 || context.baseY == 0) {
        return;
    }
    EnumChildWindows(dialog, &DumpControl, reinterpret_cast<LPARAM>(&context));
    DumpCentring(dialog);
    std::fprintf(report, "status %s\n", OneLine(TextOf(GetDlgItem(dialog, kStatusId))).c_str());
    DumpStatusFit(GetDlgItem(dialog, kStatusId), context.baseY);
    DumpKeyboard(dialog);
    HWND button = GetDlgItem(dialog, IDOK);
    std::fprintf(report, "button %s %d\n", TextOf(button).c_str(), IsWindowEnabled(button) ? 1 : 0);
    std::fprintf(report, "progress %ld\n",
                 static_cast<long>(SendMessageA(GetDlgItem(dialog, kProgressId), PBM_GETPOS, 0, 0)));
    HWND list = GetDlgItem(dialog, kListId);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    int controlLines = 0;
    for (LRESULT i = 0; i < count; ++i) {
        // Across processes the list box answers in UTF-16 whatever the caller asks for, so the
        // line is fetched as such and converted here.
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&wide[0]));
        wide.resize(wcslen(wide.c_str()));
        bool control = false;
        for (const wchar_t c : wide) {
            control = control || c < 0x20 || c == 0x7F;
        }
        controlLines += control ? 1 : 0;
        std::fprintf(report, "line %s\n", OneLine(Narrow(wide)).c_str());
    }
    std::fprintf(report, "list-control-lines %d\n", controlLines);
    // The lines in view: the whole lines that the list's client area holds from its top line.
    const LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    const LRESULT itemHeight = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    RECT listClient;
    GetClientRect(list, &listClient);
    const long inView = itemHeight > 0 ? listClient.bottom / static_cast<long>(itemHeight) : 0;
    const bool lastShown = count <= 0 || count - 1 < top + inView;
    std::fprintf(report, "list-last-shown %d %ld %ld %ld\n", lastShown ? 1 : 0, static_cast<long>(top), inView,
                 static_cast<long>(count));
    std::fflush(report);
}

// The font of dialog resource 102 in the program file: after the DLGTEMPLATEEX header, the menu,
// class and caption texts come the point size, weight, italic and charset, and the face name.
void DumpTemplateFont(const char* program) {
    HMODULE module = LoadLibraryExA(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = module != nullptr ? FindResourceA(module, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(5))
                                    : nullptr;
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* words = static_cast<const WORD*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (words == nullptr || words[1] != 0xFFFF) {
        std::fprintf(report, "template-font none\n");
        return;
    }
    // dlgVer, signature, helpID, exStyle, style (2+2+4+4+4 bytes), cDlgItems, x, y, cx, cy.
    const WORD* p = words + 13;
    const auto skipText = [](const WORD* q) {
        if (*q == 0xFFFF) {
            return q + 2;
        }
        while (*q != 0) {
            ++q;
        }
        return q + 1;
    };
    p = skipText(p);  // menu
    p = skipText(p);  // class
    p = skipText(p);  // caption
    const WORD points = p[0];
    const auto* face = reinterpret_cast<const wchar_t*>(p + 3);
    templateFont.face = face;
    templateFont.points = points;
    templateFont.weight = p[1];
    templateFont.italic = static_cast<BYTE>(p[2] & 0xFF);
    char name[64] = {};
    WideCharToMultiByte(CP_ACP, 0, face, -1, name, sizeof name - 1, nullptr, nullptr);
    std::fprintf(report, "template-font %s %u\n", name, static_cast<unsigned>(points));
}

bool Fail(const char* what) {
    std::fprintf(report, "error %s\n", what);
    std::fclose(report);
    return false;
}

// Waits until the default button shows `caption` and is enabled, then a moment for the dialog to
// finish the step (the button is enabled before the focus moves to it).
bool WaitForButton(HWND dialog, const char* caption, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        HWND button = GetDlgItem(dialog, IDOK);
        if (!IsWindow(dialog)) {
            return false;
        }
        if (TextOf(button) == caption && IsWindowEnabled(button)) {
            Sleep(300);
            return true;
        }
        Sleep(100);
    }
    return false;
}

// Waits until the status line starts with "正在下载文件：".
bool WaitForDownload(HWND dialog, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (TextOf(GetDlgItem(dialog, kStatusId)).rfind(kStatusDownloading, 0) == 0) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

void Press(HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

// Types a key (with Shift held when asked) as the keyboard would: to the window in front.
bool Type(HWND dialog, WORD key, bool shift = false) {
    if (GetForegroundWindow() != dialog) {
        std::fprintf(report, "not-in-front %d\n", static_cast<int>(key));
        return false;
    }
    std::vector<INPUT> inputs;
    const auto add = [&inputs](WORD virtualKey, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (shift) {
        add(VK_SHIFT, false);
    }
    add(key, false);
    add(key, true);
    if (shift) {
        add(VK_SHIFT, true);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return true;
}

// Lets the script take a screenshot of the stage just written.
bool Pause(const char* stage) {
    const std::string ready = reportPath + "." + stage + ".ready";
    const std::string go = reportPath + "." + stage + ".go";
    if (std::FILE* marker = std::fopen(ready.c_str(), "w")) {
        std::fclose(marker);
    }
    for (int i = 0; i < 600; ++i) {
        if (GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

bool WaitUntilClosed(HWND dialog, int seconds) {
    for (int i = 0; i < seconds * 10 && IsWindow(dialog); ++i) {
        Sleep(100);
    }
    return !IsWindow(dialog);
}

HWND FindDialog();

// The dialog found, in front and settled: the window a person starting the program sees.
HWND StartingDialog() {
    HWND dialog = FindDialog();
    if (dialog == nullptr) {
        return nullptr;
    }
    Sleep(500);  // let the dialog finish its initialisation
    for (int i = 0; i < 50 && GetForegroundWindow() != dialog; ++i) {
        // The program was started from a script, not from the desktop: the user clicks its
        // window once to bring it in front.
        SetForegroundWindow(dialog);
        Sleep(100);
    }
    return dialog;
}

// The dialog found and in front, its first stage written (and photographed when asked), Enter
// pressed and the check pass waited for, the stage "checked" written and photographed; nullptr
// (after the error line) when a stage is not reached.
HWND CheckedByKeyboard(bool photographInitial) {
    HWND dialog = StartingDialog();
    if (dialog == nullptr) {
        Fail("no dialog within 60 s");
        return nullptr;
    }
    Dump(dialog, "initial");
    if (photographInitial && !Pause("initial")) {
        Fail("no go from the script within 60 s");
        return nullptr;
    }
    if (!Type(dialog, VK_RETURN)) {
        Fail("the dialog is not in front");
        return nullptr;
    }
    if (!WaitForButton(dialog, kCaptionUpdate, 60)) {
        Dump(dialog, "check-failed");
        Fail("the check pass did not offer an update within 60 s");
        return nullptr;
    }
    Dump(dialog, "checked");
    if (!Pause("checked")) {
        Fail("no go from the script within 60 s");
        return nullptr;
    }
    return dialog;
}

// Types `key` (Enter or Esc) and waits until the program has closed the dialog.
bool CloseWith(HWND dialog, WORD key, int seconds, const char* failure) {
    if (!Type(dialog, key)) {
        return Fail("the dialog is not in front");
    }
    if (!WaitUntilClosed(dialog, seconds)) {
        return Fail(failure);
    }
    std::fprintf(report, "== closed\n");
    std::fclose(report);
    return true;
}

// Next, update and finish, each with Enter.
bool Drive() {
    HWND dialog = CheckedByKeyboard(true);
    if (dialog == nullptr) {
        return false;
    }
    if (!Type(dialog, VK_RETURN)) {
        return Fail("the dialog is not in front");
    }
    if (!WaitForButton(dialog, kCaptionFinish, 120)) {
        Dump(dialog, "apply-failed");
        return Fail("the apply pass did not finish within 120 s");
    }
    Dump(dialog, "applied");
    if (!Pause("applied")) {
        return Fail("no go from the script within 60 s");
    }
    return CloseWith(dialog, VK_RETURN, 30, "the dialog stayed open after Enter on the finish button");
}

// Next with Enter, the focus moved with Tab and back with Shift+Tab, update with Enter and Esc
// while the download runs.
bool DriveEscape() {
    HWND dialog = CheckedByKeyboard(false);
    if (dialog == nullptr) {
        return false;
    }
    if (!Type(dialog, VK_TAB)) {
        return Fail("the dialog is not in front");
    }
    Sleep(300);
    std::fprintf(report, "tab %d\n", FocusedId(dialog));
    if (!Type(dialog, VK_TAB, true)) {
        return Fail("the dialog is not in front");
    }
    Sleep(300);
    std::fprintf(report, "shift-tab %d\n", FocusedId(dialog));

    if (!Type(dialog, VK_RETURN)) {
        return Fail("the dialog is not in front");
    }
    if (!WaitForDownload(dialog, 30)) {
        Dump(dialog, "apply-failed");
        return Fail("no download under way within 30 s");
    }
    Sleep(200);
    Dump(dialog, "downloading");
    if (!Pause("downloading")) {
        return Fail("no go from the script within 60 s");
    }
    // Esc stops the download at its next read, as Cancel does: the dialog closes within moments,
    // long before the slow archive could have arrived.
    return CloseWith(dialog, VK_ESCAPE, 10, "the dialog stayed open 10 s after Esc");
}

HWND FindDialog() {
    HWND dialog = nullptr;
    for (int i = 0; i < 600 && dialog == nullptr; ++i) {
        dialog = FindWindowA("#32770", kDialogCaption);
        if (dialog == nullptr) {
            Sleep(100);
        }
    }
    return dialog;
}

// The text of a message box: its static control with the longest text.
BOOL CALLBACK LongestText(HWND child, LPARAM parameter) {
    auto* text = reinterpret_cast<std::string*>(parameter);
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0) {
        const std::string candidate = TextOf(child);
        if (candidate.size() > text->size()) {
            *text = candidate;
        }
    }
    return TRUE;
}

bool DriveCancel() {
    HWND dialog = FindDialog();
    if (dialog == nullptr) {
        return Fail("no dialog within 60 s");
    }
    Sleep(500);
    Press(dialog);
    if (!WaitForButton(dialog, kCaptionUpdate, 60)) {
        Dump(dialog, "check-failed");
        return Fail("the check pass did not offer an update within 60 s");
    }
    Press(dialog);

    // The question about the running product: a message box of the program, owned by the
    // dialog.
    HWND question = nullptr;
    for (int i = 0; i < 300 && question == nullptr; ++i) {
        HWND box = FindWindowA("#32770", "cvupdate");
        if (box != nullptr && GetWindow(box, GW_OWNER) == dialog) {
            question = box;
        } else {
            Sleep(100);
        }
    }
    if (question == nullptr) {
        return Fail("no question about the running product within 30 s");
    }
    std::string text;
    EnumChildWindows(question, &LongestText, reinterpret_cast<LPARAM>(&text));
    std::fprintf(report, "question %s\n", OneLine(text).c_str());
    PostMessageA(GetDlgItem(question, IDOK), BM_CLICK, 0, 0);

    // Cancel while the download runs: the dialog takes it through the download's message pump.
    if (!WaitForDownload(dialog, 30)) {
        return Fail("no download under way within 30 s");
    }
    std::fprintf(report, "downloading %s\n", TextOf(GetDlgItem(dialog, kStatusId)).c_str());
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    // Cancel stops the download at its next read: the dialog closes within moments, long before
    // the slow archive could have arrived.
    if (!WaitUntilClosed(dialog, 10)) {
        return Fail("the dialog stayed open 10 s after Cancel");
    }
    std::fprintf(report, "== closed\n");
    std::fclose(report);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--idle" && argc == 2) {
        Sleep(120000);
        return 0;
    }
    const bool cancel = mode == "--cancel" && argc == 3;
    const bool escape = mode == "--escape" && argc == 4;
    if (!cancel && !escape && (argc != 3 || mode.rfind("--", 0) == 0)) {
        std::fprintf(stderr,
                     "usage: cvupdate_dialog_driver REPORT_FILE CVUPDATE_EXE | --escape REPORT_FILE CVUPDATE_EXE"
                     " | --cancel REPORT_FILE | --idle\n");
        return 2;
    }
    reportPath = cancel || escape ? argv[2] : argv[1];
    report = std::fopen(reportPath.c_str(), "w");
    if (report == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", reportPath.c_str());
        return 2;
    }
    if (cancel) {
        return DriveCancel() ? 0 : 1;
    }
    DumpTemplateFont(escape ? argv[3] : argv[2]);
    if (escape) {
        return DriveEscape() ? 0 : 1;
    }
    return Drive() ? 0 : 1;
}
