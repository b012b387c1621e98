// Late-bound access to script objects: properties and methods of an IDispatch reached by name.
//
// The engine talks to the browser's window, event, document and elements this way rather than
// through their typed MSHTML interfaces, so that anything answering the same names (the real
// browser, or a script object standing in for the host window in tests) can drive it. Values
// are coerced as script would: a number may arrive as a double or a text, a flag as a number.
#pragma once

#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/com/win32/com_ptr.h"

namespace quillax::win32 {

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    // For functions that fill a VARIANT: the old value is cleared first.
    VARIANT* Out() {
        VariantClear(&value_);
        return &value_;
    }
    const VARIANT& Value() const { return value_; }

private:
    VARIANT value_;
};

// Conversions between wide texts and BSTRs (OLECHAR is 16-bit on Windows).
std::u16string FromBstr(BSTR text);
BSTR ToBstr(std::u16string_view text);  // caller frees with SysFreeString; never null

// VARIANT arguments built for calls and puts; their payload stays owned by the caller's text.
VARIANT IntArgument(int value);
VARIANT BoolArgument(bool value);

// The payload of a variant as a value of one type, coerced like script coerces it (a reference
// variant is followed first). Empty, 0 or null when the value cannot be converted.
std::u16string TextOf(const VARIANT& value);
int IntOf(const VARIANT& value);
bool BoolOf(const VARIANT& value);
ComPtr<IDispatch> DispatchOf(const VARIANT& value);

// Reads a property. Fails when the object has no such name or the read fails.
HRESULT GetProperty(IDispatch* object, std::wstring_view name, Variant& result);
// Writes a property; a script object that lacks the name gets it (as script assignment would).
HRESULT PutProperty(IDispatch* object, std::wstring_view name, VARIANT value);
// Calls a method with the arguments in their natural order; result may be null.
HRESULT CallMethod(IDispatch* object, std::wstring_view name, std::initializer_list<VARIANT> args,
                   Variant* result);
// Whether the object knows the name.
bool HasName(IDispatch* object, std::wstring_view name);

// Typed reads: the coerced value, or the empty value when the property cannot be read
// (ok, when given, tells which).
ComPtr<IDispatch> GetObjectProperty(IDispatch* object, std::wstring_view name);
std::u16string GetTextProperty(IDispatch* object, std::wstring_view name, bool* ok = nullptr);
int GetIntProperty(IDispatch* object, std::wstring_view name, bool* ok = nullptr);
bool GetBoolProperty(IDispatch* object, std::wstring_view name, bool* ok = nullptr);

// Typed writes; false when the write fails.
bool PutTextProperty(IDispatch* object, std::wstring_view name, std::u16string_view text);
bool PutIntProperty(IDispatch* object, std::wstring_view name, int value);
bool PutBoolProperty(IDispatch* object, std::wstring_view name, bool value);

}  // namespace quillax::win32
