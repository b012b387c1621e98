// Drives cvupdate.exe's dialog from another process for tests/wine/updater_dialog.sh, the way a
// user would: waits for the dialog, writes what it shows, presses the default button through the
// check and the apply pass, hands over to the script for a screenshot and presses "完成(&O)".
//
//   cvupdate_dialog_driver.exe REPORT_FILE CVUPDATE_EXE
//   cvupdate_dialog_driver.exe --cancel REPORT_FILE
//   cvupdate_dialog_driver.exe --idle
//
// --cancel: next, then update; answers the question about the running product with OK
// ("question <text>" in the report), waits until a download is under way ("downloading
// <status>"), presses Cancel and waits for the program to close the dialog ("== closed", at most
// 10 s later).
// --idle: does nothing for two minutes (a stand-in for the product the update must end).
//
// The report (GBK text) starts with the font of dialog resource 102 as CVUPDATE_EXE holds it
// ("template-font <face name> <points>") and holds one block per stage ("== initial",
// "== checked", "== applied"):
//   caption <window caption>
//   control <id> <class> <x> <y> <w> <h> [<text>]   every child window, positions in dialog units
//                                                    (found from the client area of 323 x 185)
//   status <text>      button <caption> <enabled 0/1>      progress <position>
//   line <text>        every line of the list box
// Before pressing "完成(&O)" the driver creates REPORT_FILE.ready and waits for
// REPORT_FILE.go. It ends with "== closed" and exit code 0, or with a line "error <what>" and
// exit code 1 when a stage is not reached within its time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr char kDialogCaption[] = "Tessaly在线更新 1.0";
constexpr char kCaptionUpdate[] = "更新(&U)";
constexpr char kCaptionFinish[] = "完成(&O)";
constexpr int kListId = 1011;
constexpr int kStatusId = 1012;
constexpr int kProgressId = 1002;

std::FILE* report = nullptr;

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
    std::fprintf(report, "status %s\n", OneLine(TextOf(GetDlgItem(dialog, kStatusId))).c_str());
    HWND button = GetDlgItem(dialog, IDOK);
    std::fprintf(report, "button %s %d\n", TextOf(button).c_str(), IsWindowEnabled(button) ? 1 : 0);
    std::fprintf(report, "progress %ld\n",
                 static_cast<long>(SendMessageA(GetDlgItem(dialog, kProgressId), PBM_GETPOS, 0, 0)));
    HWND list = GetDlgItem(dialog, kListId);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Across processes the list box answers in UTF-16 whatever the caller asks for, so the
        // line is fetched as such and converted here.
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::vector<wchar_t> wide(static_cast<std::size_t>(length > 0 ? length : 0) + 1);
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        std::vector<char> text(wide.size() * 2 + 1);
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), static_cast<int>(text.size()),
                            nullptr, nullptr);
        std::fprintf(report, "line %s\n", OneLine(text.data()).c_str());
    }
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
    char name[64] = {};
    WideCharToMultiByte(CP_ACP, 0, face, -1, name, sizeof name - 1, nullptr, nullptr);
    std::fprintf(report, "template-font %s %u\n", name, static_cast<unsigned>(points));
}

bool Fail(const char* what) {
    std::fprintf(report, "error %s\n", what);
    std::fclose(report);
    return false;
}

// Waits until the default button shows `caption` and is enabled.
bool WaitForButton(HWND dialog, const char* caption, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        HWND button = GetDlgItem(dialog, IDOK);
        if (!IsWindow(dialog)) {
            return false;
        }
        if (TextOf(button) == caption && IsWindowEnabled(button)) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

void Press(HWND dialog) { PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }

HWND FindDialog();

bool Drive(const std::string& reportPath) {
    HWND dialog = FindDialog();
    if (dialog == nullptr) {
        return Fail("no dialog within 60 s");
    }
    Sleep(500);  // let the dialog finish its initialisation
    Dump(dialog, "initial");

    Press(dialog);
    if (!WaitForButton(dialog, kCaptionUpdate, 60)) {
        Dump(dialog, "check-failed");
        return Fail("the check pass did not offer an update within 60 s");
    }
    Dump(dialog, "checked");

    Press(dialog);
    if (!WaitForButton(dialog, kCaptionFinish, 120)) {
        Dump(dialog, "apply-failed");
        return Fail("the apply pass did not finish within 120 s");
    }
    Dump(dialog, "applied");

    const std::string ready = reportPath + ".ready";
    const std::string go = reportPath + ".go";
    if (std::FILE* marker = std::fopen(ready.c_str(), "w")) {
        std::fclose(marker);
    }
    bool released = false;
    for (int i = 0; i < 600 && !released; ++i) {
        released = GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!released) {
            Sleep(100);
        }
    }
    if (!released) {
        return Fail("no go from the script within 60 s");
    }

    Press(dialog);
    for (int i = 0; i < 300 && IsWindow(dialog); ++i) {
        Sleep(100);
    }
    if (IsWindow(dialog)) {
        return Fail("the dialog stayed open after the finish button");
    }
    std::fprintf(report, "== closed\n");
    std::fclose(report);
    return true;
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
    bool downloading = false;
    for (int i = 0; i < 600 && !downloading; ++i) {
        const std::string status = TextOf(GetDlgItem(dialog, kStatusId));
        downloading = status.rfind("正在下载文件：", 0) == 0;
        if (downloading) {
            std::fprintf(report, "downloading %s\n", status.c_str());
        } else {
            Sleep(50);
        }
    }
    if (!downloading) {
        return Fail("no download under way within 30 s");
    }
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    // Cancel stops the download at its next read: the dialog closes within moments, long before
    // the slow archive could have arrived.
    for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
        Sleep(100);
    }
    if (IsWindow(dialog)) {
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
    if (!cancel && (argc != 3 || mode.rfind("--", 0) == 0)) {
        std::fprintf(stderr, "usage: cvupdate_dialog_driver REPORT_FILE CVUPDATE_EXE | --cancel REPORT_FILE | --idle\n");
        return 2;
    }
    const char* reportPath = cancel ? argv[2] : argv[1];
    report = std::fopen(reportPath, "w");
    if (report == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", reportPath);
        return 2;
    }
    if (cancel) {
        return DriveCancel() ? 0 : 1;
    }
    DumpTemplateFont(argv[2]);
    return Drive(reportPath) ? 0 : 1;
}
