// The popup window on Windows (see info_view.h).
#include "engine/com/win32/info_view.h"

#include <objbase.h>
#include <oaidl.h>

#include <cstring>

#include "engine/com/win32/com_ptr.h"
#include "engine/com/win32/mshtml_window.h"
#include "engine/com/win32/module.h"

namespace quillax::win32 {
namespace {

constexpr wchar_t kClassName[] = L"InfoView";
constexpr wchar_t kOwnerProperty[] = L"quillax.InfoView";

// What atl.dll gives: the host class's registration and the hosted control of a host window.
using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);

HMODULE g_atl = nullptr;
AtlAxGetControlFunction g_getControl = nullptr;
WNDPROC g_hostProcedure = nullptr;  // the window procedure of "AtlAxWin"
bool g_registered = false;
int g_windows = 0;

template <typename Function>
Function AtlFunction(const char* name) {
    FARPROC address = GetProcAddress(g_atl, name);
    Function function = nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
}

LRESULT CALLBACK InfoViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "InfoView" over "AtlAxWin" once; false when atl.dll or its class is missing.
bool RegisterInfoViewClass() {
    if (g_registered) return true;
    if (g_atl == nullptr) {
        g_atl = LoadLibraryW(L"atl.dll");
        if (g_atl == nullptr) return false;
        g_getControl = AtlFunction<AtlAxGetControlFunction>("AtlAxGetControl");
    }
    const auto init = AtlFunction<AtlAxWinInitFunction>("AtlAxWinInit");
    if (init == nullptr) return false;
    // Its answer does not count: some versions say FALSE when the class is there already
    // (another user in the process registered it first); the lookup below decides.
    init();
    WNDCLASSEXW host{};
    host.cbSize = sizeof host;
    // "AtlAxWin" is a global class of the process; ask for it under each likely owner.
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), L"AtlAxWin", &host) &&
        !GetClassInfoExW(g_atl, L"AtlAxWin", &host) &&
        !GetClassInfoExW(nullptr, L"AtlAxWin", &host)) {
        return false;
    }
    g_hostProcedure = host.lpfnWndProc;
    WNDCLASSEXW info = host;
    info.cbSize = sizeof info;
    info.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    info.lpfnWndProc = &InfoViewProcedure;
    info.hInstance = ModuleInstance();
    info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    info.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    info.lpszMenuName = nullptr;
    info.lpszClassName = kClassName;
    info.hIconSm = nullptr;
    g_registered = RegisterClassExW(&info) != 0;
    return g_registered;
}

InfoViewSurface* SurfaceOf(HWND window) {
    return static_cast<InfoViewSurface*>(GetPropW(window, kOwnerProperty));
}

LRESULT CALLBACK InfoViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    InfoViewSurface* surface = SurfaceOf(window);
    PopupWindow* popup = surface != nullptr ? surface->Owner() : nullptr;
    try {
        switch (message) {
            case WM_NCMOUSEMOVE:
                if (popup != nullptr) popup->OnNonClientMouseMove();
                break;
            case WM_CLOSE:
                // The window stays for the next popup.
                if (popup != nullptr) {
                    popup->OnClose();
                } else {
                    ShowWindow(window, SW_HIDE);
                }
                return 0;
            case WM_SHOWWINDOW:
                if (wParam == FALSE && popup != nullptr && !surface->Hiding()) popup->OnHidden();
                break;
            case WM_NCDESTROY:
                RemovePropW(window, kOwnerProperty);
                --g_windows;
                break;
            default:
                break;
        }
    } catch (...) {
        // Nothing may unwind into the system's message dispatch.
    }
    return CallWindowProcW(g_hostProcedure, window, message, wParam, lParam);
}

// The MSHTML document hosted in the window; null when the host made none.
ComPtr<IDispatch> HostedDocument(HWND window) {
    if (window == nullptr || g_getControl == nullptr) return {};
    ComPtr<IUnknown> control;
    if (FAILED(g_getControl(window, control.Put()))) return {};
    return control.As<IDispatch>(IID_IDispatch);
}

}  // namespace

// ---- the surface ------------------------------------------------------------------------------------

InfoViewSurface::~InfoViewSurface() {
    if (window_ != nullptr) {
        RemovePropW(window_, kOwnerProperty);
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

void InfoViewSurface::Create(bool picture) {
    if (window_ != nullptr || !RegisterInfoViewClass()) return;
    DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    if (!picture) style |= WS_VSCROLL;
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName,
                              L"MSHTML:", style, 0, 0, 10, 10, nullptr, nullptr, ModuleInstance(),
                              nullptr);
    if (window_ == nullptr) return;
    ++g_windows;
    SetPropW(window_, kOwnerProperty, this);
}

void InfoViewSurface::Hide() {
    if (window_ == nullptr) return;
    hiding_ = true;
    ShowWindow(window_, SW_HIDE);
    hiding_ = false;
}

void InfoViewSurface::Show() {
    if (window_ == nullptr) return;
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(window_);
}

void InfoViewSurface::Move(const PopupRect& to, bool repaint) {
    if (window_ == nullptr) return;
    MoveWindow(window_, to.left, to.top, to.right - to.left, to.bottom - to.top,
               repaint ? TRUE : FALSE);
}

void InfoViewSurface::SetCharset(const std::u16string& charset) {
    MshtmlDocument(HostedDocument(window_).Get()).SetCharset(charset);
}

void InfoViewSurface::SetBodyInnerHtml(const std::u16string& html) {
    MshtmlDocument(HostedDocument(window_).Get()).SetBodyInnerHtml(html);
}

void InfoViewSurface::SetBackgroundColor(const std::u16string& color) {
    MshtmlDocument(HostedDocument(window_).Get()).SetBackgroundColor(color);
}

int InfoViewSurface::ResetScrollAndMeasure() {
    return MshtmlDocument(HostedDocument(window_).Get()).ResetScrollAndMeasure();
}

void InfoViewSurface::ScrollTo(int x, int y) {
    MshtmlDocument(HostedDocument(window_).Get()).ScrollTo(x, y);
}

void InfoViewSurface::RunScript(const std::u16string& code) {
    MshtmlDocument(HostedDocument(window_).Get()).RunScript(code);
}

// ---- the frame --------------------------------------------------------------------------------------

std::uint32_t InfoViewFrame::Style() {
    HWND window = surface_.Window();
    return window != nullptr ? static_cast<std::uint32_t>(GetWindowLongW(window, GWL_STYLE)) : 0;
}

void InfoViewFrame::SetStyle(std::uint32_t style) {
    HWND window = surface_.Window();
    if (window == nullptr) return;
    SetWindowLongW(window, GWL_STYLE, static_cast<LONG>(style));
    // The frame follows the new style at once, so the client height reflects it.
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int InfoViewFrame::ClientHeight() {
    RECT client{0, 0, 0, 0};
    HWND window = surface_.Window();
    if (window == nullptr || !GetClientRect(window, &client)) return 0;
    return static_cast<int>(client.bottom - client.top);
}

PopupRect InfoViewFrame::WindowRect() {
    RECT r{0, 0, 0, 0};
    HWND window = surface_.Window();
    if (window != nullptr) GetWindowRect(window, &r);
    return PopupRect{static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                     static_cast<int>(r.bottom)};
}

bool InfoViewFrame::HasMouseCapture() {
    HWND window = surface_.Window();
    return window != nullptr && GetCapture() == window;
}

// ---- the popup ----------------------------------------------------------------------------------------

InfoViewPopup::InfoViewPopup(RenderState& engine)
    : PopupWindow(engine, surface, frame), surface(), frame(surface) {
    surface.SetOwner(this);
}

int InfoViewWindowCount() { return g_windows; }

void UnregisterPopupWindowClass() {
    if (!g_registered) return;
    UnregisterClassW(kClassName, ModuleInstance());
    g_registered = false;
}

void ReleasePopupWindowClass() {
    UnregisterPopupWindowClass();
    if (g_atl != nullptr) {
        FreeLibrary(g_atl);
        g_atl = nullptr;
        g_getControl = nullptr;
    }
}

}  // namespace quillax::win32
