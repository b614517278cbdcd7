// An early-bound client of volumar10.dll: every class's interface through
// its vtable at the offsets the type library gives, each answer compared
// with what IDispatch::Invoke gives for the same member.
#include <windows.h>
// after windows.h, whose types it uses
#include <oleauto.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++failures;
}

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += static_cast<char>(*text);
  return out;
}

// A member through the vtable, at the type library's oVft.
template <class... A>
HRESULT call(IUnknown* face, int offset, A... args) {
  using Slot = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, A...);
  return reinterpret_cast<Slot>((*reinterpret_cast<void***>(face))[offset / sizeof(void*)])(face, args...);
}

// The same member through Invoke, one argument at most; a failure's code
// comes back as the EXCEPINFO's.
HRESULT invoke(IDispatch* dispatch, DISPID id, WORD kind, VARIANT* arg, VARIANT* result, std::wstring* text = {}) {
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{arg, kind == DISPATCH_PROPERTYPUT ? &put : nullptr, arg ? 1u : 0u, kind == DISPATCH_PROPERTYPUT};
  EXCEPINFO error{};
  HRESULT hr = dispatch->Invoke(id, IID_NULL, 0, kind, &params, result, &error, nullptr);
  if (hr == DISP_E_EXCEPTION) hr = error.scode;
  if (text && error.bstrDescription) *text = error.bstrDescription;
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrHelpFile);
  return hr;
}

bool same(VARIANT& a, VARIANT& b) { return VarCmp(&a, &b, LOCALE_USER_DEFAULT, 0) == VARCMP_EQ; }

struct Face {
  IDispatch* dispatch = nullptr;
  IUnknown* dual = nullptr;
  IID iid{};
  std::map<std::pair<std::wstring, int>, std::pair<int, DISPID>> members;  // oVft and memid by name and kind
  std::vector<std::pair<std::wstring, VARTYPE>> simple;  // properties with only a retval of a simple type
  int slot(const wchar_t* name, int kind = INVOKE_FUNC) { return members[{name, kind}].first; }
  DISPID id(const wchar_t* name, int kind = INVOKE_FUNC) { return members[{name, kind}].second; }
};

// Each function the type library lists lies past IDispatch's seven slots in
// table order, on an entry of its own.
Face check_class(ITypeInfo* coclass, const std::string& name) {
  Face face;
  TYPEATTR* attr = nullptr;
  HREFTYPE ref = 0;
  ITypeInfo *dispinterface = nullptr, *info = nullptr;
  coclass->GetTypeAttr(&attr);
  CoCreateInstance(attr->guid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&face.dispatch));
  coclass->ReleaseTypeAttr(attr);
  coclass->GetRefTypeOfImplType(0, &ref);
  coclass->GetRefTypeInfo(ref, &dispinterface);
  dispinterface->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);  // the dual interface's vtable half
  dispinterface->GetRefTypeInfo(ref, &info);
  dispinterface->Release();
  info->GetTypeAttr(&attr);
  face.iid = attr->guid;
  const WORD functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  if (face.dispatch) face.dispatch->QueryInterface(face.iid, reinterpret_cast<void**>(&face.dual));
  check(face.dual != nullptr, name + ": QueryInterface for its own interface");
  if (!face.dual) return face;
  IUnknown *a = nullptr, *b = nullptr;
  face.dual->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  face.dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  check(a && a == b && a->Release() && b->Release(), name + ": one identity from either face");

  void** vtable = *reinterpret_cast<void***>(face.dual);
  std::set<void*> entries(vtable, vtable + 7);
  int misplaced = 0;
  for (WORD i = 0; i < functions; ++i) {
    FUNCDESC* desc = nullptr;
    BSTR member = nullptr;
    UINT count = 0;
    info->GetFuncDesc(i, &desc);
    info->GetNames(desc->memid, &member, 1, &count);
    face.members[{member, desc->invkind}] = {desc->oVft, desc->memid};
    const std::size_t slot = desc->oVft / sizeof(void*);
    if (slot != 7u + i || !vtable[slot] || !entries.insert(vtable[slot]).second) ++misplaced;
    const TYPEDESC* out = desc->cParams == 1 ? desc->lprgelemdescParam[0].tdesc.lptdesc : nullptr;
    VARTYPE vt = out ? out->vt : VARTYPE{VT_EMPTY};
    if (vt == VT_USERDEFINED) vt = VT_I4;  // the enumerations
    if (desc->invkind == INVOKE_PROPERTYGET &&
        (vt == VT_BSTR || vt == VT_I4 || vt == VT_I2 || vt == VT_UI1 || vt == VT_BOOL))
      face.simple.emplace_back(member, vt);
    SysFreeString(member);
    info->ReleaseFuncDesc(desc);
  }
  info->Release();
  check(misplaced == 0, name + ": " + std::to_string(functions) + " slots in table order, each its own entry");
  return face;
}

// Each simple property reads alike through the vtable and through Invoke,
// so each slot is the member named (after check_drw made the values differ).
void check_reads(Face& face, const std::string& name) {
  int differ = 0;
  for (auto& [member, vt] : face.simple) {
    VARIANT early{}, late{};
    const HRESULT hr = call(face.dual, face.slot(member.c_str(), INVOKE_PROPERTYGET), &early.llVal);
    early.vt = SUCCEEDED(hr) ? vt : VARTYPE{VT_EMPTY};
    const DISPID id = face.id(member.c_str(), INVOKE_PROPERTYGET);
    if (hr != invoke(face.dispatch, id, DISPATCH_PROPERTYGET, nullptr, &late) || !same(early, late)) {
      std::printf("     %s reads differently\n", narrow(member.c_str()).c_str());
      ++differ;
    }
    VariantClear(&early);
    VariantClear(&late);
  }
  check(differ == 0, name + ": " + std::to_string(face.simple.size()) + " properties read alike both ways");
}

// Put through the vtable in the property's own C type, read through Invoke.
struct Scalar {
  const wchar_t* name;
  VARTYPE vt;
  LONG value;
};
const Scalar kScalars[] = {
    {L"TotalSectorsPP", VT_I4, 2880},   {L"MinSectorPP", VT_I4, 42},           {L"VolumeSerialPP", VT_I4, 0x2024ABCD},
    {L"BytesPerSectorPP", VT_I2, -512}, {L"SectorsPerClusterPP", VT_UI1, 255}, {L"CryptographyPP", VT_BOOL, -1},
    {L"DiskSectionPP", VT_I4, 2}};

// Failures: Invoke's code, and its description in IErrorInfo. A null text
// stands for an omitted by-reference argument.
struct Failure {
  const wchar_t* name;
  int kind;
  const wchar_t* arg;
};
const Failure kFailures[] = {{L"IsDriveReady", INVOKE_FUNC, L""},
                             {L"DrivePP", INVOKE_PROPERTYPUT, L"Q:"},
                             {L"ValidateDriveAndReadWriteTest", INVOKE_FUNC, nullptr}};

void check_drw(Face& drw) {
  for (const Scalar& s : kScalars) {
    const int put = drw.slot(s.name, INVOKE_PROPERTYPUT);
    const HRESULT hr = s.vt == VT_I2     ? call(drw.dual, put, static_cast<SHORT>(s.value))
                       : s.vt == VT_UI1  ? call(drw.dual, put, static_cast<BYTE>(s.value))
                       : s.vt == VT_BOOL ? call(drw.dual, put, static_cast<VARIANT_BOOL>(s.value))
                                         : call(drw.dual, put, s.value);
    VARIANT got{};
    invoke(drw.dispatch, drw.id(s.name, INVOKE_PROPERTYGET), DISPATCH_PROPERTYGET, nullptr, &got);
    check(SUCCEEDED(hr) && SUCCEEDED(VariantChangeType(&got, &got, 0, VT_I4)) && got.lVal == s.value,
          narrow(s.name) + " put through the vtable reads back through Invoke");
  }

  // Text by value, and by reference, where it comes back unchanged.
  for (const wchar_t* name : {L"Add_Trailing_Slash", L"GetCrypEncString"}) {
    VARIANT early{}, late{}, arg{};
    early.vt = arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(L" C:\\dir ");
    const HRESULT hr = name[0] == L'G' ? call(drw.dual, drw.slot(name), &arg.bstrVal, &early.bstrVal)
                                       : call(drw.dual, drw.slot(name), arg.bstrVal, &early.bstrVal);
    check(SUCCEEDED(hr) && std::wstring(arg.bstrVal) == L" C:\\dir " &&
              SUCCEEDED(invoke(drw.dispatch, drw.id(name), DISPATCH_METHOD, &arg, &late)) && same(early, late),
          narrow(name) + " answers through the vtable as through Invoke");
    for (VARIANT* v : {&early, &late, &arg}) VariantClear(v);
  }

  // A collection written back through the last by-reference argument; it is
  // a _Collection, whose vtable has Item at slot 7 and Count at slot 9.
  IDispatch *rows = nullptr, *changed = nullptr;
  LONG index = 2, count = 0;
  BSTR item = SysAllocString(L"X"), result = nullptr;
  call(drw.dual, drw.slot(L"GetBRNItems"), &rows);
  call(drw.dual, drw.slot(L"ChangeCollectionItem"), &rows, &index, &item, &changed, &result);
  check(changed && result && std::wstring(result) == L"SUCCESS", "ChangeCollectionItem writes the new collection back");
  if (changed) {
    VARIANT at{}, early{}, late{};
    at.vt = VT_I4;
    at.lVal = index;
    check(SUCCEEDED(call(changed, 9 * sizeof(void*), &count)) && count == 32 &&
              SUCCEEDED(call(changed, 7 * sizeof(void*), &at, &early)) && early.vt == VT_BSTR &&
              early.bstrVal[0] == L'X' && SUCCEEDED(invoke(changed, 0, DISPATCH_METHOD, &at, &late)) &&
              same(early, late),
          "_Collection's Count and Item through its vtable, Item alike through Invoke");
    VariantClear(&early);
    VariantClear(&late);
    changed->Release();
  }
  if (rows) rows->Release();
  SysFreeString(item);
  SysFreeString(result);

  ISupportErrorInfo* support = nullptr;
  drw.dual->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support));
  check(support && support->InterfaceSupportsErrorInfo(drw.iid) == S_OK && support->Release(),
        "ISupportErrorInfo names the interface");
  for (const Failure& f : kFailures) {
    VARIANT arg{}, result{};
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocString(f.arg);
    VARIANT_BOOL ready = 0;
    const int slot = drw.slot(f.name, f.kind);
    const HRESULT early = f.kind == INVOKE_PROPERTYPUT ? call(drw.dual, slot, arg.bstrVal)
                          : f.arg                      ? call(drw.dual, slot, arg.bstrVal, &ready)
                                                       : call(drw.dual, slot, static_cast<BSTR*>(nullptr), &ready);
    IErrorInfo* error = nullptr;
    BSTR text = nullptr;
    if (GetErrorInfo(0, &error) == S_OK) error->GetDescription(&text);
    if (error) error->Release();
    std::wstring late_text;
    const WORD kind = f.kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD;
    const HRESULT late =
        invoke(drw.dispatch, drw.id(f.name, f.kind), kind, f.arg ? &arg : nullptr, &result, &late_text);
    check(FAILED(early) && early == late && text && *text && late_text == text,
          narrow(f.name) + " fails alike: " + std::to_string(early & 0xFFFF) + " " + narrow(text));
    SysFreeString(text);
    VariantClear(&arg);
    VariantClear(&result);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  CoInitialize(nullptr);
  const std::string path = argv[1];
  ITypeLib* lib = nullptr;
  check(SUCCEEDED(LoadTypeLibEx(std::wstring(path.begin(), path.end()).c_str(), REGKIND_NONE, &lib)),
        "the type library loads from the DLL");
  if (!lib) return 1;
  std::map<std::string, Face> faces;
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    TYPEKIND kind;
    ITypeInfo* info = nullptr;
    BSTR name = nullptr;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS || FAILED(lib->GetTypeInfo(i, &info))) continue;
    lib->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
    faces[narrow(name)] = check_class(info, narrow(name));
    SysFreeString(name);
    info->Release();
  }
  check(faces.size() == 5, "five classes");
  if (faces["clsQzVolmDrwA"].dual) check_drw(faces["clsQzVolmDrwA"]);
  for (auto& [name, face] : faces)
    if (face.dual) check_reads(face, name);
  for (auto& [name, face] : faces)
    for (IUnknown* held : {face.dual, static_cast<IUnknown*>(face.dispatch)})
      if (held) held->Release();
  lib->Release();
  std::printf("%d failure(s)\n", failures);
  CoUninitialize();
  return failures;
}
