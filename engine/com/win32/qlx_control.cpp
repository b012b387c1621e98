// The COM object of the class qlx (see qlx_control.h).
#include "engine/com/win32/qlx_control.h"

#include <olectl.h>

#include <new>
#include <optional>
#include <string>

#include "engine/com/members.h"
#include "engine/com/win32/dispatch_by_name.h"
#include "engine/com/win32/module.h"
#include "engine/com/win32/info_view.h"
#include "engine/state/render_state.h"

namespace quillax::win32 {
namespace {

std::u16string TextArgument(BSTR text) { return FromBstr(text); }

// Hands a text out as an [out, retval] BSTR.
HRESULT ReturnText(const std::u16string& text, BSTR* out) {
    *out = ToBstr(text);
    return S_OK;
}

}  // namespace

// ---- creation and identity ---------------------------------------------------------------------------

HRESULT QlxControl::Create(IUnknown* outer, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    // An aggregating object must take the inner unknown.
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    QlxControl* control = nullptr;
    try {
        control = new QlxControl(outer);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = control->inner_.QueryInterface(iid, object);
    control->inner_.Release();
    return hr;
}

QlxControl::QlxControl(IUnknown* outer)
    : inner_(*this), outer_(outer != nullptr ? outer : &inner_) {
    ObjectCreated();
    RenderState& state = GlobalRenderState();
    control_ = std::make_unique<Cqlx>(state, [](RenderState& owner) {
        return std::unique_ptr<PopupWindow>(new InfoViewPopup(owner));
    });
}

QlxControl::~QlxControl() {
    InPlaceDeactivate();
    RenderState& state = GlobalRenderState();
    control_.reset();
    // The engine must not keep a window that goes with this instance.
    for (const std::shared_ptr<MshtmlWindow>* window : {&pageWindow_, &searchWindow_}) {
        if (*window && window->use_count() == 1 && state.host.pageWindow == window->get()) {
            state.host.pageWindow = nullptr;
        }
    }
    searchWindow_.reset();
    pageWindow_.reset();
    ObjectDestroyed();
}

HRESULT STDMETHODCALLTYPE QlxControl::Inner::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    QlxControl& c = owner_;
    void* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = static_cast<IUnknown*>(this);
    } else if (IsEqualIID(iid, IID_Iqlx) || IsEqualIID(iid, IID_IDispatch)) {
        found = static_cast<Iqlx*>(&c);
    } else if (IsEqualIID(iid, IID_IOleObject)) {
        found = static_cast<IOleObject*>(&c);
    } else if (IsEqualIID(iid, IID_IOleInPlaceObjectWindowless) ||
               IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow)) {
        found = static_cast<IOleInPlaceObjectWindowless*>(&c);
    } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
        found = static_cast<IOleInPlaceActiveObject*>(&c);
    } else if (IsEqualIID(iid, IID_IViewObjectEx) || IsEqualIID(iid, IID_IViewObject2) ||
               IsEqualIID(iid, IID_IViewObject)) {
        found = static_cast<IViewObjectEx*>(&c);
    } else if (IsEqualIID(iid, IID_IPersistStreamInit) || IsEqualIID(iid, IID_IPersist)) {
        found = static_cast<IPersistStreamInit*>(&c);
    } else if (IsEqualIID(iid, IID_IOleControl)) {
        found = static_cast<IOleControl*>(&c);
    } else if (IsEqualIID(iid, IID_IObjectSafety)) {
        found = static_cast<IObjectSafety*>(&c);
    }
    *object = found;
    if (found == nullptr) return E_NOINTERFACE;
    static_cast<IUnknown*>(found)->AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE QlxControl::Inner::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&owner_.references_));
}

ULONG STDMETHODCALLTYPE QlxControl::Inner::Release() {
    const LONG left = InterlockedDecrement(&owner_.references_);
    if (left == 0) delete &owner_;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE QlxControl::QueryInterface(REFIID iid, void** object) {
    return outer_->QueryInterface(iid, object);
}
ULONG STDMETHODCALLTYPE QlxControl::AddRef() { return outer_->AddRef(); }
ULONG STDMETHODCALLTYPE QlxControl::Release() { return outer_->Release(); }

template <typename Call>
HRESULT QlxControl::Guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// ---- IDispatch: served by the type library ----------------------------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeInfo* own = IqlxTypeInfo();
    if (own == nullptr) return TYPE_E_CANTLOADLIBRARY;
    own->AddRef();
    *info = own;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                    DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // A member's name alone is looked up in the members' table; names of its parameters
    // come with it from the type library.
    if (count == 1 && names != nullptr && names[0] != nullptr && ids != nullptr) {
        std::string name;
        for (const OLECHAR* c = names[0]; *c != 0; ++c) {
            // No member's name holds a character outside ASCII.
            name += *c < 0x80 ? static_cast<char>(*c) : '\x7F';
        }
        const std::optional<std::int32_t> id = DispatchIdOf(name);
        ids[0] = id ? static_cast<DISPID>(*id) : DISPID_UNKNOWN;
        return id ? S_OK : DISP_E_UNKNOWNNAME;
    }
    ITypeInfo* own = IqlxTypeInfo();
    if (own == nullptr) return TYPE_E_CANTLOADLIBRARY;
    return DispGetIDsOfNames(own, names, count, ids);
}

HRESULT STDMETHODCALLTYPE QlxControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* own = IqlxTypeInfo();
    if (own == nullptr) return TYPE_E_CANTLOADLIBRARY;
    // Script calls a property with arguments (FixResult) as a method: either kind serves.
    if (flags == DISPATCH_METHOD) flags |= DISPATCH_PROPERTYGET;
    return own->Invoke(static_cast<Iqlx*>(this), id, flags, params, result, exception,
                       argumentError);
}

// ---- Iqlx ----------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::init(VARIANT* wes, BSTR sTitle) {
    return Guarded([&] {
        const ComPtr<IDispatch> window = wes != nullptr ? DispatchOf(*wes) : ComPtr<IDispatch>();
        std::shared_ptr<MshtmlWindow> bound = SharedWindowFor(window.Get());
        const HRESULT hr = control_->init(bound.get(), TextArgument(sTitle));
        // The old window goes only now that the engine holds the new one.
        pageWindow_ = std::move(bound);
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::MouseClick() {
    return Guarded([&] { return control_->MouseClick(); });
}

HRESULT STDMETHODCALLTYPE QlxControl::MouseOut() {
    return Guarded([&] { return control_->MouseOut(); });
}

HRESULT STDMETHODCALLTYPE QlxControl::MouseOver() {
    return Guarded([&] { return control_->MouseOver(); });
}

HRESULT STDMETHODCALLTYPE QlxControl::pF10() {
    return Guarded([&] { return control_->pF10(); });
}

HRESULT STDMETHODCALLTYPE QlxControl::SearchWord(BSTR fStr, BSTR NoFindTxt, LONG ExtendTxt,
                                                 VARIANT* pinnerhtml) {
    return Guarded([&] {
        const ComPtr<IDispatch> window =
            pinnerhtml != nullptr ? DispatchOf(*pinnerhtml) : ComPtr<IDispatch>();
        const std::shared_ptr<MshtmlWindow> results = SharedWindowFor(window.Get());
        const HRESULT hr = control_->SearchWord(TextArgument(fStr), TextArgument(NoFindTxt),
                                                ExtendTxt, results.get());
        // The result window becomes the engine's page window until a method binds the
        // control's own window again: it is kept until then.
        if (results) searchWindow_ = results;
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::getcfg(BSTR NoName, BSTR* NoValue) {
    if (NoValue == nullptr) return E_POINTER;
    return Guarded([&] {
        std::u16string value;
        const HRESULT hr = control_->getcfg(TextArgument(NoName), &value);
        // A result the member left unset stays a null string (script sees "").
        if (!value.empty()) *NoValue = ToBstr(value);
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::GetWheel(BSTR wd) {
    return Guarded([&] { return control_->GetWheel(TextArgument(wd)); });
}

HRESULT STDMETHODCALLTYPE QlxControl::linkmap(VARIANT TuNo) {
    return Guarded([&] { return control_->linkmap(TextOf(TuNo)); });
}

HRESULT STDMETHODCALLTYPE QlxControl::get_Ver(BSTR* pVal) {
    if (pVal == nullptr) return E_POINTER;
    return Guarded([&] {
        std::u16string label;
        const HRESULT hr = control_->get_Ver(&label);
        ReturnText(label, pVal);
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::openchahtm(BSTR tKey, VARIANT NoLinkValue,
                                                 VARIANT esinnerHTML) {
    return Guarded([&] {
        return control_->openchahtm(TextArgument(tKey), IntOf(NoLinkValue), TextOf(esinnerHTML));
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::AddBibleLink() {
    return Guarded([&] { return control_->AddBibleLink(); });
}

HRESULT STDMETHODCALLTYPE QlxControl::get_Changed(LONG* pVal) {
    if (pVal == nullptr) return E_POINTER;
    return Guarded([&] {
        std::int32_t flags = 0;
        const HRESULT hr = control_->get_Changed(&flags);
        *pVal = static_cast<LONG>(flags);
        return hr;
    });
}

HRESULT STDMETHODCALLTYPE QlxControl::put_Changed(LONG newVal) {
    return Guarded([&] { return control_->put_Changed(newVal); });
}

HRESULT STDMETHODCALLTYPE QlxControl::get_FixResult(BSTR inBSTR, BSTR* pVal) {
    if (pVal == nullptr) return E_POINTER;
    return Guarded([&] {
        std::u16string fixed;
        const HRESULT hr = control_->get_FixResult(TextArgument(inBSTR), &fixed);
        ReturnText(fixed, pVal);
        return hr;
    });
}

// ---- IOleObject -------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::SetClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) return E_POINTER;
    *site = ComPtr<IOleClientSite>(clientSite_).Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE QlxControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE QlxControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data != nullptr) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE QlxControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG,
                                             HWND parent, LPCRECT position) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(site, parent, position);
        case OLEIVERB_HIDE:
            return UIDeactivate();
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT QlxControl::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
    if (inPlaceActive_) return S_OK;
    ComPtr<IOleClientSite> from(site != nullptr ? site : clientSite_.Get());
    ComPtr<IOleInPlaceSite> inPlace = from.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    if (!inPlace) return E_FAIL;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;

    // Windowless where the site allows it: the control has nothing to draw.
    BOOL noRedraw = FALSE;
    windowless_ = false;
    if (const auto windowless = inPlace.As<IOleInPlaceSiteWindowless>(IID_IOleInPlaceSiteWindowless);
        windowless && windowless->CanWindowlessActivate() == S_OK &&
        SUCCEEDED(windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS))) {
        windowless_ = true;
    } else if (FAILED(inPlace->OnInPlaceActivate())) {
        return E_FAIL;
    }
    inPlaceSite_ = inPlace;
    inPlaceActive_ = true;

    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT where{0, 0, 0, 0};
    RECT clip{0, 0, 0, 0};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    if (SUCCEEDED(inPlace->GetWindowContext(frame.Put(), document.Put(), &where, &clip, &frameInfo))) {
        position_ = where;
    }
    if (position != nullptr) position_ = *position;

    if (!windowless_) {
        HWND host = parent;
        if (host == nullptr) inPlace->GetWindow(&host);
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                  position_.left, position_.top, position_.right - position_.left,
                                  position_.bottom - position_.top, host, nullptr,
                                  ModuleInstance(), nullptr);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs != nullptr) *verbs = nullptr;
    return OLEOBJ_E_NOVERBS;
}

HRESULT STDMETHODCALLTYPE QlxControl::Update() { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE QlxControl::GetUserClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_qlx;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetUserType(DWORD, LPOLESTR* name) {
    if (name != nullptr) *name = nullptr;
    return OLE_S_USEREG;
}

HRESULT STDMETHODCALLTYPE QlxControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (size == nullptr) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(adviseHolder_.Put()))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, connection);
}

HRESULT STDMETHODCALLTYPE QlxControl::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE QlxControl::EnumAdvise(IEnumSTATDATA** advises) {
    if (advises == nullptr) return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : E_FAIL;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetMiscStatus(DWORD, DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject -----------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return window_ != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE QlxControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    inPlaceActive_ = false;
    if (window_ != nullptr) {
        DestroyWindow(window_);
        window_ = nullptr;
    }
    if (const auto extended = inPlaceSite_.As<IOleInPlaceSiteEx>(IID_IOleInPlaceSiteEx)) {
        extended->OnInPlaceDeactivateEx(TRUE);
    } else if (inPlaceSite_) {
        inPlaceSite_->OnInPlaceDeactivate();
    }
    inPlaceSite_.Reset();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::UIDeactivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE QlxControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (position == nullptr) return E_POINTER;
    position_ = *position;
    if (window_ != nullptr) {
        MoveWindow(window_, position_.left, position_.top, position_.right - position_.left,
                   position_.bottom - position_.top, TRUE);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
    if (result != nullptr) *result = 0;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetDropTarget(IDropTarget** target) {
    if (target != nullptr) *target = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE QlxControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE QlxControl::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::EnableModeless(BOOL) { return S_OK; }

// ---- IViewObject, IViewObject2, IViewObjectEx: nothing to draw ----------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC,
                                           LPCRECTL, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                           ULONG_PTR) {
    return aspect == DVASPECT_CONTENT ? S_OK : DV_E_DVASPECT;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                  LOGPALETTE** colors) {
    if (colors != nullptr) *colors = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE QlxControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE QlxControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = ComPtr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects != nullptr) *aspects = viewAspects_;
    if (flags != nullptr) *flags = viewFlags_;
    if (sink != nullptr) *sink = ComPtr<IAdviseSink>(viewSink_).Detach();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE QlxControl::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QlxControl::GetViewStatus(DWORD* status) {
    if (status == nullptr) return E_POINTER;
    *status = 0;  // transparent: nothing is drawn
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                                    LONG, DWORD* hit) {
    if (hit == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *hit = bounds != nullptr && PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                                   LONG, DWORD* hit) {
    if (hit == nullptr) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    RECT overlap;
    *hit = bounds != nullptr && location != nullptr && IntersectRect(&overlap, bounds, location)
               ? HITRESULT_HIT
               : HITRESULT_OUTSIDE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC,
                                                       DVEXTENTINFO*, LPSIZEL) {
    return E_NOTIMPL;
}

// ---- IPersist, IPersistStreamInit: no persistent state ---------------------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }
HRESULT STDMETHODCALLTYPE QlxControl::IsDirty() { return S_FALSE; }
HRESULT STDMETHODCALLTYPE QlxControl::Load(LPSTREAM) { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::Save(LPSTREAM, BOOL) { return S_OK; }

HRESULT STDMETHODCALLTYPE QlxControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::InitNew() { return S_OK; }

// ---- IOleControl -------------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::GetControlInfo(CONTROLINFO*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE QlxControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE QlxControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT STDMETHODCALLTYPE QlxControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IObjectSafety: safe for scripting and for data of the page ----------------------------------------

HRESULT STDMETHODCALLTYPE QlxControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                                DWORD* enabled) {
    if (supported == nullptr || enabled == nullptr) return E_POINTER;
    void* probe = nullptr;
    if (FAILED(inner_.QueryInterface(iid, &probe))) {
        *supported = *enabled = 0;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(probe)->Release();
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = safetyOptions_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE QlxControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                                DWORD enabled) {
    void* probe = nullptr;
    if (FAILED(inner_.QueryInterface(iid, &probe))) return E_NOINTERFACE;
    static_cast<IUnknown*>(probe)->Release();
    const DWORD known = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    if ((mask & ~known) != 0) return E_FAIL;
    safetyOptions_ = (safetyOptions_ & ~mask) | (enabled & mask);
    return S_OK;
}

}  // namespace quillax::win32
