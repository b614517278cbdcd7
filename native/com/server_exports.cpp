// The in-process server's entry points under their C names (the .def file
// exports them): class factories over the library's class registry,
// registration through the library's own code plus the type library, and
// unloading only when no client holds anything of ours.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/automation/class_objects.h"
#include "platform/scripting/file_system_object.h"
#include "platform/user32/message_box.h"
#include "server/class_registry.h"
#include "server/registration.h"

#include "native/com/com_objects.h"
#include "native/com/dual_interface.h"

#include <oleauto.h>
#include <windows.h>

#include "native/com/module.h"
#include "native/com/value_conversion.h"

namespace volumar::native {
namespace {

HMODULE g_module = nullptr;

std::string guid_text(REFCLSID id) {
  wchar_t text[40] = {};
  StringFromGUID2(id, text, 40);
  std::string out;
  for (const wchar_t* p = text; *p; ++p) out += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  return out;
}

// The system's own file-system component, which the library creates by
// ProgID like any other class.
win::ObjectRef create_system_object(const char* progid) {
  std::wstring name(progid, progid + std::strlen(progid));
  CLSID clsid;
  IDispatch* dispatch = nullptr;
  if (FAILED(CLSIDFromProgID(name.c_str(), &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch))))
    win::raise_error(429);
  win::ObjectRef object = object_of(dispatch);
  dispatch->Release();
  return object;
}

// Headless hosts (tests, services) set VOLUMAR10_MESSAGE_BOXES=stderr: boxes
// are printed there and answered with their first button instead of waiting.
void install_message_box_sink() {
  const char* mode = std::getenv("VOLUMAR10_MESSAGE_BOXES");
  if (!mode || std::string(mode) != "stderr") return;
  win::set_message_box_sink([](const win::MessageBoxRequest& box) {
    const int answer = win::default_button(box.style);
    std::fprintf(stderr, "[MessageBox %s] %s -> %d\n", box.caption.c_str(), box.text.c_str(), answer);
    return answer;
  });
}

// The host's one-time setup of the platform: offer the classes, pick the sink.
void start_server() {
  static std::once_flag once;
  std::call_once(once, [] {
    install_message_box_sink();
    volumar::register_class_objects();
    win::register_class_object({win::kFileSystemObjectProgId, win::kFileSystemObjectClsid,
                                [] { return create_system_object(win::kFileSystemObjectProgId); }});
  });
}

std::atomic<long> g_locks{0};

class Factory final : public IClassFactory {
 public:
  explicit Factory(const volumar::ClassInfo& info) : info_(info) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      IDispatch* dispatch = dispatch_of(info_.create());
      const HRESULT hr = dispatch->QueryInterface(riid, out);
      dispatch->Release();
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      ++g_server_references;
    else
      --g_server_references;
    return S_OK;
  }

 private:
  const volumar::ClassInfo& info_;
  std::atomic<ULONG> references_{1};
};

HRESULT register_type_library(bool registering) {
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(g_module, path, MAX_PATH)) return SELFREG_E_TYPELIB;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(path, registering ? REGKIND_REGISTER : REGKIND_NONE, &lib);
  if (FAILED(hr)) return registering ? SELFREG_E_TYPELIB : S_OK;
  if (!registering) {
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(lib->GetLibAttr(&attr))) {
      UnRegisterTypeLib(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
      lib->ReleaseTLibAttr(attr);
    }
  }
  lib->Release();
  return S_OK;
}

}  // namespace

HMODULE module_handle() { return g_module; }

}  // namespace volumar::native

using namespace volumar::native;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  start_server();
  const volumar::ClassInfo* info = volumar::find_class(guid_text(clsid));
  if (!info) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new Factory(*info);
  const HRESULT hr = factory->QueryInterface(riid, out);
  factory->Release();
  return hr;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_server_references.load() == 0 ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllRegisterServer() {
  start_server();
  // The type library promises every class's vtable: no registration without them.
  const std::string refusal = check_dual_interfaces();
  if (!refusal.empty()) return win::SELFREG_E_CLASS;
  HRESULT hr = volumar::DllRegisterServer();
  if (FAILED(hr)) return hr;
  hr = register_type_library(true);
  if (FAILED(hr)) volumar::DllUnregisterServer();
  return hr;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  start_server();
  register_type_library(false);
  return volumar::DllUnregisterServer();
}

}  // extern "C"
