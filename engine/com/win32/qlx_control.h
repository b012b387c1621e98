// The COM object of the class qlx: the engine's control as a page embeds and scripts it.
//
// Besides Iqlx (dual; dispatch is served by ITypeInfo::Invoke over the library's own type
// library) it answers the interfaces a page needs to embed a windowless-capable ActiveX control
// and to let its script call it: IOleObject, IOleInPlaceObject(Windowless), IOleWindow,
// IOleInPlaceActiveObject, IViewObject/2/Ex, IPersistStreamInit/IPersist, IOleControl and
// IObjectSafety. They do the least a container needs: the control draws nothing, keeps the
// default extent of 5080 x 5080 HIMETRIC, activates windowless where the site allows it and as
// a small child window otherwise. All engine work is done by the portable control Cqlx
// (engine/com/control.h); this object only converts arguments and results.
//
// The object can be aggregated: the controlling unknown then belongs to the outer object.
#pragma once

#include <ocidl.h>
#include <objsafe.h>
#include <oleidl.h>

#include <memory>

#include "engine/com/control.h"
#include "engine/com/win32/com_ptr.h"
#include "engine/com/win32/identity_win32.h"
#include "engine/com/win32/mshtml_window.h"

namespace quillax::win32 {

// COM objects are destroyed by their own Release, never through an interface pointer, so the
// interfaces have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class QlxControl : public Iqlx,
                   public IOleObject,
                   public IOleInPlaceObjectWindowless,
                   public IOleInPlaceActiveObject,
                   public IViewObjectEx,
                   public IPersistStreamInit,
                   public IOleControl,
                   public IObjectSafety {
public:
    // A new instance, queried for iid; outer is the aggregating object or null.
    static HRESULT Create(IUnknown* outer, REFIID iid, void** object);

    QlxControl(const QlxControl&) = delete;
    QlxControl& operator=(const QlxControl&) = delete;

    // ---- IUnknown (delegating to the controlling unknown) -------------------------------------
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ---- IDispatch --------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // ---- Iqlx --------------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE init(VARIANT* wes, BSTR sTitle) override;
    HRESULT STDMETHODCALLTYPE MouseClick() override;
    HRESULT STDMETHODCALLTYPE MouseOut() override;
    HRESULT STDMETHODCALLTYPE MouseOver() override;
    HRESULT STDMETHODCALLTYPE pF10() override;
    HRESULT STDMETHODCALLTYPE SearchWord(BSTR fStr, BSTR NoFindTxt, LONG ExtendTxt,
                                         VARIANT* pinnerhtml) override;
    HRESULT STDMETHODCALLTYPE getcfg(BSTR NoName, BSTR* NoValue) override;
    HRESULT STDMETHODCALLTYPE GetWheel(BSTR wd) override;
    HRESULT STDMETHODCALLTYPE linkmap(VARIANT TuNo) override;
    HRESULT STDMETHODCALLTYPE get_Ver(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE openchahtm(BSTR tKey, VARIANT NoLinkValue,
                                         VARIANT esinnerHTML) override;
    HRESULT STDMETHODCALLTYPE AddBibleLink() override;
    HRESULT STDMETHODCALLTYPE get_Changed(LONG* pVal) override;
    HRESULT STDMETHODCALLTYPE put_Changed(LONG newVal) override;
    HRESULT STDMETHODCALLTYPE get_FixResult(BSTR inBSTR, BSTR* pVal) override;

    // ---- IOleObject ---------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* name) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // ---- IOleWindow, IOleInPlaceObject(Windowless), IOleInPlaceActiveObject -------------------------
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                              LRESULT* result) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** target) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // ---- IViewObject, IViewObject2, IViewObjectEx ----------------------------------------------------
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                   DVTARGETDEVICE* device, HDC targetDc, HDC drawDc,
                                   LPCRECTL bounds, LPCRECTL windowBounds,
                                   BOOL(STDMETHODCALLTYPE* shouldContinue)(ULONG_PTR),
                                   ULONG_PTR continueArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* device, HDC targetDc,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                     DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                        LPSIZEL size) override;
    HRESULT STDMETHODCALLTYPE GetRect(DWORD aspect, LPRECTL rect) override;
    HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override;
    HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                            LONG closeHint, DWORD* hit) override;
    HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                           LONG closeHint, DWORD* hit) override;
    HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                               HDC targetDc, DVEXTENTINFO* info,
                                               LPSIZEL size) override;

    // ---- IPersist, IPersistStreamInit ------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // ---- IOleControl ----------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // ---- IObjectSafety --------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported,
                                                        DWORD* enabled) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask,
                                                        DWORD enabled) override;

private:
    // The non-delegating unknown: the object's own identity and reference count.
    class Inner : public IUnknown {
    public:
        explicit Inner(QlxControl& owner) : owner_(owner) {}
        virtual ~Inner() = default;
        Inner(const Inner&) = delete;
        Inner& operator=(const Inner&) = delete;
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        QlxControl& owner_;
    };

    explicit QlxControl(IUnknown* outer);
    virtual ~QlxControl();

    // Runs a member of the control; no exception leaves a COM method.
    template <typename Call>
    HRESULT Guarded(Call call);

    HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);

    Inner inner_;
    IUnknown* outer_;  // the controlling unknown: the aggregating object, or inner_
    LONG references_ = 1;

    std::shared_ptr<MshtmlWindow> pageWindow_;    // the window given to init
    std::shared_ptr<MshtmlWindow> searchWindow_;  // the window of the last search result
    std::unique_ptr<Cqlx> control_;

    // Embedding.
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewFlags_ = 0;
    ComPtr<IOleInPlaceSite> inPlaceSite_;
    bool inPlaceActive_ = false;
    bool windowless_ = false;
    HWND window_ = nullptr;  // the child window of a windowed activation
    RECT position_{0, 0, 0, 0};
    SIZEL extent_{5080, 5080};  // HIMETRIC
    DWORD safetyOptions_ = 0;
};

#pragma GCC diagnostic pop

}  // namespace quillax::win32
