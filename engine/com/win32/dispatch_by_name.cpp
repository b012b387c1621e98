// Late-bound access to script objects (see dispatch_by_name.h).
#include "engine/com/win32/dispatch_by_name.h"

#include <dispex.h>
#include <oleauto.h>

#include <iterator>
#include <string>
#include <vector>

namespace quillax::win32 {
namespace {

// The dispatch id of a name; for a put, a script object that lacks the name is asked to
// create it (IDispatchEx), as an assignment in script would.
HRESULT IdOfName(IDispatch* object, std::wstring_view name, bool create, DISPID& id) {
    if (object == nullptr) return E_POINTER;
    std::wstring copy(name);
    LPOLESTR names[1] = {copy.data()};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr) || !create) return hr;
    ComPtr<IDispatchEx> expando = ComPtr<IDispatch>(object).As<IDispatchEx>(IID_IDispatchEx);
    if (!expando) return hr;
    BSTR bstr = SysAllocStringLen(copy.data(), static_cast<UINT>(copy.size()));
    if (bstr == nullptr) return E_OUTOFMEMORY;
    hr = expando->GetDispID(bstr, fdexNameCaseSensitive | fdexNameEnsure, &id);
    SysFreeString(bstr);
    return hr;
}

HRESULT InvokeChecked(IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params,
                      VARIANT* result) {
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                      &exception, &argumentError);
    // A script error hands its texts to the caller; they are not wanted here.
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// A copy of the value with references followed, converted to type; false when it cannot be.
bool Convert(const VARIANT& value, VARTYPE type, Variant& out) {
    Variant plain;
    if (FAILED(VariantCopyInd(plain.Out(), const_cast<VARIANT*>(&value)))) return false;
    if (plain.Value().vt == VT_EMPTY || plain.Value().vt == VT_NULL) return false;
    return SUCCEEDED(VariantChangeType(out.Out(), const_cast<VARIANT*>(&plain.Value()),
                                       VARIANT_ALPHABOOL, type));
}

}  // namespace

std::u16string FromBstr(BSTR text) {
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR ToBstr(std::u16string_view text) {
    BSTR result = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                    static_cast<UINT>(text.size()));
    return result != nullptr ? result : SysAllocStringLen(L"", 0);
}

VARIANT IntArgument(int value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT BoolArgument(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

std::u16string TextOf(const VARIANT& value) {
    Variant text;
    if (!Convert(value, VT_BSTR, text)) return {};
    return FromBstr(text.Value().bstrVal);
}

int IntOf(const VARIANT& value) {
    Variant number;
    if (!Convert(value, VT_I4, number)) return 0;
    return static_cast<int>(number.Value().lVal);
}

bool BoolOf(const VARIANT& value) {
    Variant flag;
    if (!Convert(value, VT_BOOL, flag)) return false;
    return flag.Value().boolVal != VARIANT_FALSE;
}

ComPtr<IDispatch> DispatchOf(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal != nullptr) v = v->pvarVal;
    switch (v->vt) {
        case VT_DISPATCH:
            return ComPtr<IDispatch>(v->pdispVal);
        case VT_DISPATCH | VT_BYREF:
            return v->ppdispVal != nullptr ? ComPtr<IDispatch>(*v->ppdispVal) : ComPtr<IDispatch>();
        case VT_UNKNOWN:
            return ComPtr<IUnknown>(v->punkVal).As<IDispatch>(IID_IDispatch);
        case VT_UNKNOWN | VT_BYREF:
            return v->ppunkVal != nullptr
                       ? ComPtr<IUnknown>(*v->ppunkVal).As<IDispatch>(IID_IDispatch)
                       : ComPtr<IDispatch>();
        default:
            return {};
    }
}

HRESULT GetProperty(IDispatch* object, std::wstring_view name, Variant& result) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOfName(object, name, false, id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return InvokeChecked(object, id, DISPATCH_PROPERTYGET, none, result.Out());
}

HRESULT PutProperty(IDispatch* object, std::wstring_view name, VARIANT value) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOfName(object, name, true, id);
    if (FAILED(hr)) return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return InvokeChecked(object, id, DISPATCH_PROPERTYPUT, params, nullptr);
}

HRESULT CallMethod(IDispatch* object, std::wstring_view name, std::initializer_list<VARIANT> args,
                   Variant* result) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = IdOfName(object, name, false, id);
    if (FAILED(hr)) return hr;
    // Invoke takes the arguments last to first.
    std::vector<VARIANT> lastFirst(std::rbegin(args), std::rend(args));
    DISPPARAMS params{lastFirst.empty() ? nullptr : lastFirst.data(), nullptr,
                      static_cast<UINT>(lastFirst.size()), 0};
    return InvokeChecked(object, id, DISPATCH_METHOD, params,
                         result != nullptr ? result->Out() : nullptr);
}

bool HasName(IDispatch* object, std::wstring_view name) {
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(IdOfName(object, name, false, id));
}

ComPtr<IDispatch> GetObjectProperty(IDispatch* object, std::wstring_view name) {
    Variant value;
    if (FAILED(GetProperty(object, name, value))) return {};
    return DispatchOf(value.Value());
}

std::u16string GetTextProperty(IDispatch* object, std::wstring_view name, bool* ok) {
    Variant value;
    const bool read = SUCCEEDED(GetProperty(object, name, value));
    if (ok != nullptr) *ok = read;
    return read ? TextOf(value.Value()) : std::u16string();
}

int GetIntProperty(IDispatch* object, std::wstring_view name, bool* ok) {
    Variant value;
    const bool read = SUCCEEDED(GetProperty(object, name, value));
    if (ok != nullptr) *ok = read;
    return read ? IntOf(value.Value()) : 0;
}

bool GetBoolProperty(IDispatch* object, std::wstring_view name, bool* ok) {
    Variant value;
    const bool read = SUCCEEDED(GetProperty(object, name, value));
    if (ok != nullptr) *ok = read;
    return read && BoolOf(value.Value());
}

bool PutTextProperty(IDispatch* object, std::wstring_view name, std::u16string_view text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = ToBstr(text);
    const HRESULT hr = PutProperty(object, name, value);
    VariantClear(&value);
    return SUCCEEDED(hr);
}

bool PutIntProperty(IDispatch* object, std::wstring_view name, int value) {
    return SUCCEEDED(PutProperty(object, name, IntArgument(value)));
}

bool PutBoolProperty(IDispatch* object, std::wstring_view name, bool value) {
    return SUCCEEDED(PutProperty(object, name, BoolArgument(value)));
}

}  // namespace quillax::win32
