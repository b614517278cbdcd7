// Loads volumar10.dll as COM would and checks the server's entry points:
// the C-named exports, DllCanUnloadNow saying no while a client holds an
// object, a collection taken from one, or a factory lock, and yes after.
#include <windows.h>
// after windows.h, whose types it uses
#include <oleauto.h>

#include <cstdio>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

using CanUnload = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

template <class F>
F entry(HMODULE dll, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  CoInitialize(nullptr);
  HMODULE dll = LoadLibraryA(argv[1]);
  check(dll != nullptr, "LoadLibrary");
  if (!dll) return 1;
  auto can_unload = entry<CanUnload>(dll, "DllCanUnloadNow");
  auto get_class = entry<GetClassObject>(dll, "DllGetClassObject");
  check(
      can_unload && get_class && GetProcAddress(dll, "DllRegisterServer") && GetProcAddress(dll, "DllUnregisterServer"),
      "the four entry points are exported under their C names");
  if (!can_unload || !get_class) return 1;

  CLSID clsid;
  CLSIDFromProgID(L"Volumar10.clsQzVolmDrwA", &clsid);
  IClassFactory* factory = nullptr;
  check(SUCCEEDED(get_class(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))), "DllGetClassObject");
  CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* none = nullptr;
  check(get_class(unknown, IID_IClassFactory, &none) == CLASS_E_CLASSNOTAVAILABLE, "an unknown class id is refused");

  IDispatch* drw = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&drw));
  check(drw != nullptr, "CreateInstance");
  factory->LockServer(TRUE);
  factory->Release();
  check(can_unload() == S_FALSE, "no unload while the factory is locked");

  // A collection taken from the object (ChangeCollectionItem hands a new one
  // back through its last, by-reference argument), then the object released.
  OLECHAR name[] = L"ChangeCollectionItem";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  check(SUCCEEDED(drw->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)), "GetIDsOfNames");
  VARIANT collection;
  VariantInit(&collection);
  collection.vt = VT_DISPATCH;
  collection.pdispVal = nullptr;
  VARIANT args[4];
  for (VARIANT& a : args) VariantInit(&a);
  args[0].vt = VT_BYREF | VT_VARIANT;  // arguments travel last first
  args[0].pvarVal = &collection;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(L"row");
  args[2].vt = VT_I4;
  args[2].lVal = 1;
  args[3].vt = VT_DISPATCH;
  args[3].pdispVal = nullptr;
  DISPPARAMS params{args, nullptr, 4, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr =
      drw->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  check(SUCCEEDED(hr) && collection.vt == VT_DISPATCH && collection.pdispVal,
        "a by-reference argument brings a collection back");
  VariantClear(&result);
  VariantClear(&args[1]);
  drw->Release();
  IClassFactory* again = nullptr;
  get_class(clsid, IID_IClassFactory, reinterpret_cast<void**>(&again));
  if (again) {
    again->LockServer(FALSE);
    again->Release();
  }
  check(can_unload() == S_FALSE, "no unload while a client holds a collection");
  VariantClear(&collection);
  check(can_unload() == S_OK, "unload once nothing is held");

  std::printf("%d failure(s)\n", failures);
  CoUninitialize();
  return failures;
}
