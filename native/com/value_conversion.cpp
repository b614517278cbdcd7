// VARIANT <-> win::Variant. Everything that crosses the COM boundary goes
// through here, so the frame's value rules apply at one place.
#include <cstring>

#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/variant_conversion.h"
#include "platform/automation/variant_visit.h"

#include "native/com/value_conversion.h"

#include <oleauto.h>

#include "native/com/com_objects.h"

namespace volumar::native {
namespace {

constexpr std::int32_t kTypeMismatch = 13;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

const wchar_t* wide(std::u16string_view text) { return reinterpret_cast<const wchar_t*>(text.data()); }

SAFEARRAY* byte_array(const win::Bytes& bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!array) return nullptr;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) {
    SafeArrayDestroy(array);
    return nullptr;
  }
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  SafeArrayUnaccessData(array);
  return array;
}

// One-dimensional arrays only; a script's array of numbers counts as bytes,
// since a script has no other way to build one.
win::Bytes bytes_of(SAFEARRAY* array, VARTYPE element) {
  if (!array || SafeArrayGetDim(array) != 1) win::raise_error(kTypeMismatch);
  LONG low = 0, high = -1;
  SafeArrayGetLBound(array, 1, &low);
  SafeArrayGetUBound(array, 1, &high);
  win::Bytes bytes;
  bytes.reserve(high >= low ? static_cast<std::size_t>(high - low + 1) : 0);
  for (LONG i = low; i <= high; ++i) {
    if (element == VT_UI1) {
      unsigned char b = 0;
      SafeArrayGetElement(array, &i, &b);
      bytes.push_back(b);
    } else {
      VARIANT item;
      VariantInit(&item);
      if (FAILED(SafeArrayGetElement(array, &i, &item))) win::raise_error(kTypeMismatch);
      win::Variant v;
      try {
        v = from_variant(item);
      } catch (...) {
        VariantClear(&item);
        throw;
      }
      VariantClear(&item);
      bytes.push_back(win::to_byte(v));
    }
  }
  return bytes;
}

}  // namespace

BSTR to_bstr(std::u16string_view text) { return SysAllocStringLen(wide(text), static_cast<UINT>(text.size())); }

std::u16string from_bstr(BSTR text) {
  if (!text) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

HRESULT to_variant(const win::Variant& value, VARIANT* out) {
  VariantInit(out);
  const win::Variant& v = value.deref();
  if (v.is_missing()) {
    out->vt = VT_ERROR;
    out->scode = DISP_E_PARAMNOTFOUND;
    return S_OK;
  }
  // The frame's one switch over its values; each case only fills the VARIANT.
  return win::visit(v, Overloaded{
                           [&](std::monostate) { return S_OK; },
                           [&](win::Variant::NullValue) {
                             out->vt = VT_NULL;
                             return S_OK;
                           },
                           [&](std::int16_t i) {
                             out->vt = VT_I2;
                             out->iVal = i;
                             return S_OK;
                           },
                           [&](std::int32_t l) {
                             out->vt = VT_I4;
                             out->lVal = l;
                             return S_OK;
                           },
                           [&](std::uint8_t b) {
                             out->vt = VT_UI1;
                             out->bVal = b;
                             return S_OK;
                           },
                           [&](bool b) {
                             out->vt = VT_BOOL;
                             out->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
                             return S_OK;
                           },
                           [&](double d) {
                             out->vt = VT_R8;
                             out->dblVal = d;
                             return S_OK;
                           },
                           [&](const std::u16string& text) {
                             out->bstrVal = to_bstr(text);
                             if (!out->bstrVal) return E_OUTOFMEMORY;
                             out->vt = VT_BSTR;
                             return S_OK;
                           },
                           [&](const win::ObjectRef& object) {
                             out->vt = VT_DISPATCH;
                             out->pdispVal = object ? dispatch_of(object) : nullptr;
                             return S_OK;
                           },
                           [&](const win::Bytes& bytes) {
                             out->parray = byte_array(bytes);
                             if (!out->parray) return E_OUTOFMEMORY;
                             out->vt = VT_ARRAY | VT_UI1;
                             return S_OK;
                           },
                           [&](win::Variant::MissingValue) { return DISP_E_TYPEMISMATCH; },
                       });
}

win::Variant from_variant(const VARIANT& value) {
  const VARIANT* v = &value;
  if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  const bool by_ref = v->vt & VT_BYREF;
  const VARTYPE type = v->vt & ~VT_BYREF;
  if (type & VT_ARRAY) {
    SAFEARRAY* array = by_ref ? *v->pparray : v->parray;
    const VARTYPE element = type & VT_TYPEMASK;
    if (element != VT_UI1 && element != VT_VARIANT) win::raise_error(kTypeMismatch);
    return win::Variant(bytes_of(array, element));
  }
  switch (type) {
    case VT_EMPTY: return {};
    case VT_NULL: return win::Variant::null();
    case VT_I2: return win::Variant(static_cast<std::int16_t>(by_ref ? *v->piVal : v->iVal));
    case VT_I4: return win::Variant(static_cast<std::int32_t>(by_ref ? *v->plVal : v->lVal));
    case VT_UI1: return win::Variant(static_cast<std::uint8_t>(by_ref ? *v->pbVal : v->bVal));
    case VT_BOOL: return win::Variant((by_ref ? *v->pboolVal : v->boolVal) != VARIANT_FALSE);
    case VT_R8: return win::Variant(by_ref ? *v->pdblVal : v->dblVal);
    case VT_BSTR: return win::Variant(from_bstr(by_ref ? *v->pbstrVal : v->bstrVal));
    case VT_DISPATCH: {
      IDispatch* d = by_ref ? *v->ppdispVal : v->pdispVal;
      return d ? win::Variant(object_of(d)) : win::Variant(win::ObjectRef());
    }
    case VT_UNKNOWN: {
      IUnknown* u = by_ref ? *v->ppunkVal : v->punkVal;
      if (!u) return win::Variant(win::ObjectRef());
      IDispatch* d = nullptr;
      if (FAILED(u->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)))) win::raise_error(kTypeMismatch);
      win::ObjectRef object = object_of(d);
      d->Release();
      return win::Variant(object);
    }
    case VT_ERROR:
      if ((by_ref ? *v->pscode : v->scode) == DISP_E_PARAMNOTFOUND) return win::Variant::missing();
      break;
    default: break;
  }
  // Other numeric kinds (single, currency, date, 64-bit) arrive as Double.
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(v), 0, VT_R8))) win::raise_error(kTypeMismatch);
  return win::Variant(number.dblVal);
}

HRESULT store_by_ref(const win::Variant& value, VARIANT* target) {
  if (!(target->vt & VT_BYREF)) return S_OK;
  VARIANT converted;
  HRESULT hr = to_variant(value, &converted);
  if (FAILED(hr)) return hr;
  if (target->vt == (VT_BYREF | VT_VARIANT)) {
    VariantClear(target->pvarVal);
    *target->pvarVal = converted;  // ownership moves into the caller's variable
    return S_OK;
  }
  // A typed variable keeps its type, as the caller declared it.
  const VARTYPE type = target->vt & ~VT_BYREF;
  VARIANT typed;
  VariantInit(&typed);
  hr = VariantChangeType(&typed, &converted, 0, type);
  VariantClear(&converted);
  if (FAILED(hr)) return hr;
  switch (type) {
    case VT_I2: *target->piVal = typed.iVal; break;
    case VT_I4: *target->plVal = typed.lVal; break;
    case VT_UI1: *target->pbVal = typed.bVal; break;
    case VT_BOOL: *target->pboolVal = typed.boolVal; break;
    case VT_R8: *target->pdblVal = typed.dblVal; break;
    case VT_BSTR:
      SysFreeString(*target->pbstrVal);
      *target->pbstrVal = typed.bstrVal;
      return S_OK;
    default: VariantClear(&typed); return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

namespace {
HRESULT error_code(const win::AutomationError& error) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.number() & 0xFFFF);
}
}  // namespace

HRESULT to_excepinfo(const win::AutomationError& error, EXCEPINFO* info) {
  if (info) {
    *info = EXCEPINFO{};
    info->bstrDescription = to_bstr(win::ansi_to_utf16(error.description()));
    info->bstrSource = to_bstr(win::ansi_to_utf16(error.source()));
    info->scode = error_code(error);
  }
  return DISP_E_EXCEPTION;
}

HRESULT to_error_info(const win::AutomationError& error, REFIID iid) {
  ICreateErrorInfo* create = nullptr;
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    const std::u16string description = win::ansi_to_utf16(error.description());
    const std::u16string source = win::ansi_to_utf16(error.source());
    create->SetGUID(iid);
    create->SetDescription(const_cast<LPOLESTR>(wide(description)));
    create->SetSource(const_cast<LPOLESTR>(wide(source)));
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    create->Release();
  }
  // Without one, a caller must not read an earlier call's error as this one's.
  SetErrorInfo(0, info);
  if (info) info->Release();
  return error_code(error);
}

void raise_from(HRESULT hr, EXCEPINFO* info) {
  if (hr == DISP_E_EXCEPTION && info) {
    if (info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
    const HRESULT code = info->scode ? info->scode : static_cast<HRESULT>(info->wCode);
    const std::string description = win::utf16_to_ansi(from_bstr(info->bstrDescription));
    const std::string source = win::utf16_to_ansi(from_bstr(info->bstrSource));
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrHelpFile);
    const std::int32_t number = HRESULT_FACILITY(code) == FACILITY_CONTROL ? (code & 0xFFFF) : code;
    throw win::AutomationError(number, description, source);
  }
  switch (hr) {
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND: win::raise_error(438);
    case DISP_E_TYPEMISMATCH: win::raise_error(kTypeMismatch);
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL: win::raise_error(450);
    default: win::raise_error(hr);
  }
}

}  // namespace volumar::native
