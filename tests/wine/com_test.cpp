// Tests of the Windows binding that need Windows itself (run under Wine by tests/wine/run.sh):
// the thread timers, the "InfoView" popup window and its messages, and quillax.dll loaded,
// used and unloaded many times in one process.
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/com/win32/com_ptr.h"
#include "engine/com/win32/dispatch_by_name.h"
#include "engine/com/win32/identity_win32.h"
#include "engine/com/win32/info_view.h"
#include "engine/com/win32/module.h"
#include "engine/com/win32/thread_timers.h"
#include "engine/state/render_state.h"

namespace quillax::win32 {
namespace {

// Processes the thread's messages for about the given time.
void PumpMessages(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    MSG message;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

BOOL CALLBACK CountInfoView(HWND window, LPARAM counter) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (std::wstring(name) == L"InfoView") ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

// Windows of the class "InfoView" on this thread.
int CountInfoViewWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountInfoView, reinterpret_cast<LPARAM>(&count));
    return count;
}

// ---- thread timers -------------------------------------------------------------------------------

TEST(ThreadTimers, FireOnTheMessageLoopUntilKilled) {
    ThreadTimers timers;
    int fired = 0;
    int seenId = 0;
    const int id = timers.SetTimer(10, [&](int which) {
        ++fired;
        seenId = which;
    });
    ASSERT_GT(id, 0);
    PumpMessages(300);
    EXPECT_GE(fired, 3);
    EXPECT_EQ(seenId, id);
    timers.KillTimer(id);
    const int afterKill = fired;
    PumpMessages(100);
    EXPECT_EQ(fired, afterKill);
    EXPECT_EQ(timers.Running(), 0);
}

TEST(ThreadTimers, IdsAreNeverReusedAndStaleIdsStopNothing) {
    ThreadTimers timers;
    int first = 0;
    int second = 0;
    const int a = timers.SetTimer(10, [&](int) { ++first; });
    timers.KillTimer(a);
    const int b = timers.SetTimer(10, [&](int) { ++second; });
    EXPECT_GT(b, a);
    timers.KillTimer(a);   // stale: the new timer keeps running
    timers.KillTimer(0);
    timers.KillTimer(-1);
    PumpMessages(150);
    EXPECT_EQ(first, 0);
    EXPECT_GT(second, 0);
    timers.KillAll();
    EXPECT_EQ(timers.Running(), 0);
}

TEST(ThreadTimers, AProcedureMayKillItsOwnTimer) {
    ThreadTimers& timers = ThreadTimers::Instance();
    int fired = 0;
    timers.SetTimer(5, [&](int id) {
        ++fired;
        timers.KillTimer(id);
    });
    PumpMessages(150);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timers.Running(), 0);
}

// ---- the popup window ----------------------------------------------------------------------------

class InfoViewTest : public ::testing::Test {
protected:
    void SetUp() override { state.events.timers = &ThreadTimers::Instance(); }
    void TearDown() override {
        ThreadTimers::Instance().KillAll();
        PumpMessages(10);
    }

    static DWORD Style(HWND window) { return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)); }

    // Shows the popup as a fill does: at rect, state Shown.
    static void ShowAt(InfoViewPopup& popup, const PopupRect& rect) {
        popup.rect = rect;
        popup.Move(rect, false);
        popup.Show();
        popup.state = PopupState::Shown;
    }

    RenderState state;
};

TEST_F(InfoViewTest, IsASuperclassOfTheControlHostWithTheStylesOfAPopup) {
    InfoViewPopup popup(state);
    popup.Create(false);
    ASSERT_TRUE(popup.Created()) << "no window: does the Wine prefix have a graphics driver?";
    HWND window = popup.surface.Window();

    wchar_t text[16] = {};
    GetWindowTextW(window, text, 16);
    EXPECT_EQ(std::wstring(text), L"MSHTML:");
    EXPECT_EQ(Style(window) & (WS_POPUP | WS_BORDER | WS_VSCROLL | WS_SYSMENU),
              static_cast<DWORD>(WS_POPUP | WS_BORDER | WS_VSCROLL | WS_SYSMENU));
    const auto extended = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    EXPECT_EQ(extended & (WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              static_cast<DWORD>(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW));

    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExW(ModuleInstance(), L"InfoView", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    WNDCLASSEXW host{};
    host.cbSize = sizeof host;
    EXPECT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"AtlAxWin", &host) ||
                GetClassInfoExW(GetModuleHandleW(L"atl.dll"), L"AtlAxWin", &host));

    InfoViewPopup picture(state);
    picture.Create(true);
    ASSERT_TRUE(picture.Created());
    EXPECT_EQ(Style(picture.surface.Window()) & WS_VSCROLL, 0u);
}

TEST_F(InfoViewTest, ANonClientMouseMovePinsAShownTextPopup) {
    InfoViewPopup popup(state);
    popup.Create(false);
    ASSERT_TRUE(popup.Created());
    HWND window = popup.surface.Window();
    ShowAt(popup, PopupRect{100, 200, 400, 300});
    const DWORD original = Style(window);
    int closed = 0;
    popup.closeTimer = ThreadTimers::Instance().SetTimer(60000, [&](int) { ++closed; });
    ASSERT_GT(popup.closeTimer, 0);

    SendMessageW(window, WM_NCMOUSEMOVE, HTCAPTION, 0);
    EXPECT_EQ(Style(window) & kPinnedStyleBits, kPinnedStyleBits);
    EXPECT_EQ(popup.state, PopupState::Pinned);
    EXPECT_EQ(popup.closeTimer, -1);
    EXPECT_EQ(ThreadTimers::Instance().Running(), 0);
    const PopupStyleMemory& memory = state.events.popupStyle;
    ASSERT_TRUE(memory.remembered);
    EXPECT_EQ(memory.originalStyle, original);
    EXPECT_GT(memory.captionHeight, 0);
    RECT moved{};
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.top, 200 - memory.captionHeight);

    // Pinned already: a further move changes nothing.
    SendMessageW(window, WM_NCMOUSEMOVE, HTCAPTION, 0);
    RECT again{};
    GetWindowRect(window, &again);
    EXPECT_EQ(again.top, moved.top);
}

TEST_F(InfoViewTest, APicturePopupIsNeverPinned) {
    InfoViewPopup popup(state);
    popup.Create(true);
    ASSERT_TRUE(popup.Created());
    popup.pictureMode = true;
    ShowAt(popup, PopupRect{10, 10, 330, 259});
    SendMessageW(popup.surface.Window(), WM_NCMOUSEMOVE, HTCAPTION, 0);
    EXPECT_NE(Style(popup.surface.Window()) & kPinnedStyleBits, kPinnedStyleBits);
    EXPECT_EQ(popup.state, PopupState::Shown);
}

TEST_F(InfoViewTest, CloseHidesTheWindowAndKeepsItForTheNextPopup) {
    InfoViewPopup popup(state);
    popup.Create(false);
    ASSERT_TRUE(popup.Created());
    HWND window = popup.surface.Window();
    ShowAt(popup, PopupRect{0, 0, 200, 100});
    ASSERT_TRUE(IsWindowVisible(window));
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(popup.state, PopupState::Hidden);
}

TEST_F(InfoViewTest, AHideRestoresTheStyleAndStopsTheSongAfterALeftSongElement) {
    InfoViewPopup popup(state);
    popup.Create(false);
    ASSERT_TRUE(popup.Created());
    HWND window = popup.surface.Window();
    ShowAt(popup, PopupRect{100, 200, 400, 300});
    const DWORD original = Style(window);
    SendMessageW(window, WM_NCMOUSEMOVE, HTCAPTION, 0);
    ASSERT_EQ(popup.state, PopupState::Pinned);

    int stops = 0;
    state.events.stopWheelSong = [&] { ++stops; };
    state.host.stopSongOnHide = true;
    // A hide the engine did not ask for (the user, the system) is handled by the window.
    ShowWindow(window, SW_HIDE);
    EXPECT_EQ(Style(window) & ~WS_VISIBLE, original & ~WS_VISIBLE);
    EXPECT_EQ(stops, 1);
    RECT restored{};
    GetWindowRect(window, &restored);
    EXPECT_EQ(restored.top, 200);

    // A hide through the engine is handled once, not twice.
    ShowAt(popup, PopupRect{100, 200, 400, 300});
    popup.Hide();
    EXPECT_EQ(stops, 2);
    state.host.stopSongOnHide = false;
    ShowAt(popup, PopupRect{100, 200, 400, 300});
    popup.Hide();
    EXPECT_EQ(stops, 2);
}

TEST_F(InfoViewTest, WindowsGoWithTheirPopupAndTheClassCanBeUnregistered) {
    const int before = CountInfoViewWindows();
    {
        InfoViewPopup popup(state);
        popup.Create(false);
        ASSERT_TRUE(popup.Created());
        EXPECT_EQ(CountInfoViewWindows(), before + 1);
    }
    EXPECT_EQ(CountInfoViewWindows(), before);
    ASSERT_EQ(before, 0);
    UnregisterPopupWindowClass();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExW(ModuleInstance(), L"InfoView", &info));
    // The next popup registers it again.
    InfoViewPopup again(state);
    again.Create(false);
    EXPECT_TRUE(again.Created());
}

// ---- the library, loaded and unloaded ------------------------------------------------------------------

// A script-like object: named properties that hold values, and named methods that are recorded.
// Destroyed by its own Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FakeObject : public IDispatch {
public:
    FakeObject() = default;
    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;
    virtual ~FakeObject() {
        for (auto& entry : members_) VariantClear(&entry.second);
    }

    FakeObject* Set(const std::wstring& name, const std::wstring& text) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocString(text.c_str());
        Store(name, value);
        return this;
    }
    FakeObject* Set(const std::wstring& name, int number) {
        Store(name, IntArgument(number));
        return this;
    }
    FakeObject* Set(const std::wstring& name, FakeObject* object) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_DISPATCH;
        value.pdispVal = object;  // the member takes the creation reference
        Store(name, value);
        return this;
    }
    FakeObject* Method(const std::wstring& name) {
        VARIANT empty;
        VariantInit(&empty);
        Store(name, empty);
        return this;
    }
    const std::vector<std::wstring>& Calls() const { return calls_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const int left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1) return DISP_E_UNKNOWNNAME;
        for (std::size_t i = 0; i < members_.size(); ++i) {
            if (members_[i].first == names[0]) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
        auto& member = members_[static_cast<std::size_t>(id - 1)];
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            VariantClear(&member.second);
            return VariantCopy(&member.second, &params->rgvarg[0]);
        }
        if ((flags & DISPATCH_METHOD) != 0 && member.second.vt == VT_EMPTY) {
            calls_.push_back(member.first);
            return S_OK;
        }
        return result != nullptr ? VariantCopy(result, &member.second) : S_OK;
    }

private:
    void Store(const std::wstring& name, VARIANT value) {
        for (auto& entry : members_) {
            if (entry.first == name) {
                VariantClear(&entry.second);
                entry.second = value;
                return;
            }
        }
        members_.emplace_back(name, value);
    }

    int references_ = 1;
    std::vector<std::pair<std::wstring, VARIANT>> members_;
    std::vector<std::wstring> calls_;
};
#pragma GCC diagnostic pop

// A stand-in for the host's window whose current event comes from a chapter link, or, given a
// key code, a key pressed on the page's body.
FakeObject* MakeHostWindow(int keyCode = 0) {
    auto* element = keyCode == 0 ? (new FakeObject())
                                       ->Set(L"tagName", L"A")
                                       ->Set(L"id", L"")
                                       ->Set(L"title", L"")
                                       ->Set(L"outerHTML", L"<A href=\"01001\">Gen 1</A>")
                                       ->Set(L"innerText", L"Gen 1")
                                       ->Set(L"innerHTML", L"Gen 1")
                                 : (new FakeObject())
                                       ->Set(L"tagName", L"BODY")
                                       ->Set(L"id", L"")
                                       ->Set(L"title", L"")
                                       ->Set(L"outerHTML", L"<BODY></BODY>")
                                       ->Set(L"innerText", L"")
                                       ->Set(L"innerHTML", L"");
    auto* event = (new FakeObject())->Set(L"srcElement", element)->Set(L"keyCode", keyCode)->Set(L"button", 1);
    auto* body = (new FakeObject())->Set(L"innerHTML", L"")->Set(L"offsetHeight", 600)->Set(L"scrollTop", 0);
    auto* document = (new FakeObject())->Set(L"body", body)->Set(L"charset", L"")->Set(L"URL", L"about:blank");
    auto* screen = (new FakeObject())->Set(L"width", 1024)->Set(L"height", 768);
    return (new FakeObject())
        ->Set(L"document", document)
        ->Set(L"event", event)
        ->Set(L"screen", screen)
        ->Method(L"scrollTo")
        ->Method(L"scrollBy")
        ->Method(L"execScript")
        ->Method(L"focus");
}

HRESULT CallByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                   VARIANT* result, WORD flags = DISPATCH_METHOD) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> lastFirst(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{lastFirst.empty() ? nullptr : lastFirst.data(),
                      flags == DISPATCH_PROPERTYPUT ? &named : nullptr,
                      static_cast<UINT>(lastFirst.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

// The control's init with the stand-in window and an empty title, as a host page calls it.
HRESULT InitWithWindow(IDispatch* control, FakeObject* window) {
    VARIANT host;
    VariantInit(&host);
    host.vt = VT_DISPATCH;
    host.pdispVal = window;
    VARIANT title;
    VariantInit(&title);
    title.vt = VT_BSTR;
    title.bstrVal = SysAllocString(L"");
    const HRESULT result = CallByName(control, L"init", {host, title}, nullptr);
    SysFreeString(title.bstrVal);
    return result;
}

std::wstring LibraryPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    directory.resize(directory.rfind(L'\\') + 1);
    return directory + L"quillax.dll";
}

template <typename Function>
Function Export(HMODULE library, const char* name) {
    FARPROC address = GetProcAddress(library, name);
    Function function = nullptr;
    static_assert(sizeof function == sizeof address);
    std::memcpy(&function, &address, sizeof function);
    return function;
}

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFunction = HRESULT(STDAPICALLTYPE*)();

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        path = LibraryPath();
        ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "no quillax.dll beside the tests";
    }
    void TearDown() override { CoUninitialize(); }

    std::wstring path;
};

TEST_F(LibraryTest, AnswersTheInterfacesOfAnEmbeddableControl) {
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr);
    {
        const auto getClassObject = Export<GetClassObjectFunction>(library, "DllGetClassObject");
        ASSERT_NE(getClassObject, nullptr);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_qlx, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
        void* none = nullptr;
        EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);

        ComPtr<IUnknown> control;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(control.Put())), S_OK);
        for (const IID* iid : {&IID_Iqlx, &IID_IDispatch, &IID_IOleObject, &IID_IOleInPlaceObject,
                               &IID_IOleInPlaceObjectWindowless, &IID_IOleWindow,
                               &IID_IOleInPlaceActiveObject, &IID_IViewObject, &IID_IViewObject2,
                               &IID_IViewObjectEx, &IID_IPersistStreamInit, &IID_IPersist,
                               &IID_IOleControl, &IID_IObjectSafety}) {
            ComPtr<IUnknown> answer = control.As<IUnknown>(*iid);
            EXPECT_TRUE(answer);
            // Every interface leads back to the same object.
            EXPECT_EQ(answer.As<IUnknown>(IID_IUnknown).Get(), control.Get());
        }

        const auto object = control.As<IOleObject>(IID_IOleObject);
        SIZEL extent{0, 0};
        ASSERT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
        EXPECT_EQ(extent.cx, 5080);
        EXPECT_EQ(extent.cy, 5080);
        CLSID clsid{};
        EXPECT_EQ(object->GetUserClassID(&clsid), S_OK);
        EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_qlx));

        const auto safety = control.As<IObjectSafety>(IID_IObjectSafety);
        DWORD supported = 0;
        DWORD enabled = 0;
        ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(supported & INTERFACESAFE_FOR_UNTRUSTED_CALLER, static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER));
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                                    INTERFACESAFE_FOR_UNTRUSTED_CALLER), S_OK);
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(enabled, static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER));

        // Dispatch through the type library: names, ids, properties with arguments.
        const auto dispatch = control.As<IDispatch>(IID_IDispatch);
        UINT count = 0;
        EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        const std::pair<const wchar_t*, DISPID> members[] = {
            {L"init", 1}, {L"MouseClick", 2}, {L"MouseOut", 3}, {L"MouseOver", 4}, {L"pF10", 5},
            {L"SearchWord", 7}, {L"getcfg", 8}, {L"GetWheel", 9}, {L"linkmap", 10}, {L"Ver", 11},
            {L"openchahtm", 13}, {L"AddBibleLink", 18}, {L"Changed", 19}, {L"FixResult", 21}};
        for (const auto& [name, expected] : members) {
            DISPID id = DISPID_UNKNOWN;
            LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
            EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
            EXPECT_EQ(id, expected) << name;
        }
        // Names are matched as script matches them, without regard to case; others are unknown.
        for (const auto& [name, expected] : {std::pair<const wchar_t*, DISPID>{L"mouseover", 4},
                                             {L"FIXRESULT", 21}, {L"NoSuchMember", DISPID_UNKNOWN},
                                             {L"Changed\u00e9", DISPID_UNKNOWN}}) {
            DISPID id = 0;
            LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
            EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
                      expected == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK) << name;
            EXPECT_EQ(id, expected) << name;
        }
        Variant fixed;
        VARIANT text;
        VariantInit(&text);
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocString(L"<I><I>x</I></I>");
        EXPECT_EQ(CallByName(dispatch.Get(), L"FixResult", {text}, fixed.Out(), DISPATCH_PROPERTYGET), S_OK);
        VariantClear(&text);
        EXPECT_EQ(TextOf(fixed.Value()), u"<I>x</I>");

        // Aggregation: only as the inner unknown.
        void* refused = nullptr;
        EXPECT_EQ(factory->CreateInstance(control.Get(), IID_IDispatch, &refused), CLASS_E_NOAGGREGATION);
    }
    const auto canUnload = Export<CanUnloadFunction>(library, "DllCanUnloadNow");
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(library);
}

TEST_F(LibraryTest, LoadsAndUnloadsManyTimesWithoutLeavingWindowsTimersOrClasses) {
    for (int round = 0; round < 25; ++round) {
        HMODULE library = LoadLibraryW(path.c_str());
        ASSERT_NE(library, nullptr) << "round " << round;
        const auto getClassObject = Export<GetClassObjectFunction>(library, "DllGetClassObject");
        const auto canUnload = Export<CanUnloadFunction>(library, "DllCanUnloadNow");
        FakeObject* window = MakeHostWindow();
        {
            ComPtr<IClassFactory> factory;
            ASSERT_EQ(getClassObject(CLSID_qlx, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
            ComPtr<IDispatch> control;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control.Put())), S_OK);
            EXPECT_EQ(canUnload(), S_FALSE);

            EXPECT_EQ(InitWithWindow(control.Get(), window), S_OK);
            // The mouse over a link: the popup window is made and the open delay starts.
            EXPECT_EQ(CallByName(control.Get(), L"MouseOver", {}, nullptr), S_OK);
            EXPECT_EQ(CountInfoViewWindows(), 1) << "round " << round;
            Variant changed;
            EXPECT_EQ(CallByName(control.Get(), L"Changed", {}, changed.Out(), DISPATCH_PROPERTYGET), S_OK);
            EXPECT_EQ(IntOf(changed.Value()), 0);
        }
        EXPECT_EQ(CountInfoViewWindows(), 0) << "round " << round;
        EXPECT_EQ(canUnload(), S_OK);
        ASSERT_TRUE(FreeLibrary(library));
        EXPECT_EQ(GetModuleHandleW(L"quillax.dll"), nullptr) << "round " << round;
        // A timer left behind would now call into the unloaded library.
        PumpMessages(20);
        WNDCLASSEXW info{};
        info.cbSize = sizeof info;
        EXPECT_FALSE(GetClassInfoExW(library, L"InfoView", &info)) << "round " << round;
        window->Release();
    }
}

// The blank key toggles the auto-scroll, whose thread timer scrolls the page a line at a time
// while the host processes messages, until the page's end stops it (here at once: the stand-in's
// scrollTop never moves).
TEST_F(LibraryTest, BlankStartsAndStopsTheAutoScrollOnTheMessageLoop) {
    HMODULE library = LoadLibraryW(path.c_str());
    ASSERT_NE(library, nullptr);
    const auto getClassObject = Export<GetClassObjectFunction>(library, "DllGetClassObject");
    const auto canUnload = Export<CanUnloadFunction>(library, "DllCanUnloadNow");
    FakeObject* window = MakeHostWindow(' ');
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_qlx, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
        ComPtr<IDispatch> control;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(control.Put())), S_OK);
        EXPECT_EQ(InitWithWindow(control.Get(), window), S_OK);
        const auto scrolls = [&] {
            const auto& calls = window->Calls();
            return std::count(calls.begin(), calls.end(), std::wstring(L"scrollBy"));
        };

        ASSERT_EQ(CallByName(control.Get(), L"pF10", {}, nullptr), S_OK);
        EXPECT_EQ(scrolls(), 0) << "nothing scrolls before the timer runs";
        PumpMessages(400);
        EXPECT_EQ(scrolls(), 1) << "one step, then the end of the page stops it";

        // Started and stopped again before any message is processed: no step.
        ASSERT_EQ(CallByName(control.Get(), L"pF10", {}, nullptr), S_OK);
        ASSERT_EQ(CallByName(control.Get(), L"pF10", {}, nullptr), S_OK);
        PumpMessages(400);
        EXPECT_EQ(scrolls(), 1);
    }
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(library);
    window->Release();
}

}  // namespace
}  // namespace quillax::win32
