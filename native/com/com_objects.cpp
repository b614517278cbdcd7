// IDispatch over frame objects and win::Object over client IDispatch.
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/automation/collection.h"
#include "platform/automation/dispatch.h"
#include "server/class_registry.h"

#include "native/com/com_objects.h"

#include <oleauto.h>

#include "native/com/dual_interface.h"
#include "native/com/module.h"
#include "native/com/value_conversion.h"

namespace volumar::native {

std::atomic<long> g_server_references{0};

namespace {

// Counts itself in the server's references for as long as it lives.
class ServerReference {
 public:
  ServerReference() { ++g_server_references; }
  ~ServerReference() { --g_server_references; }
  ServerReference(const ServerReference&) = delete;
  ServerReference& operator=(const ServerReference&) = delete;
};

template <class Interface>
class Unknown : public Interface {
 public:
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  virtual ~Unknown() = default;

 protected:
  // A new reference unless the last one is already gone (and the object
  // on its way out).
  bool add_ref_if_alive() {
    ULONG count = references_.load();
    while (count != 0)
      if (references_.compare_exchange_weak(count, count + 1)) return true;
    return false;
  }
  HRESULT answer(REFIID riid, void** out, std::initializer_list<const IID*> iids) {
    if (!out) return E_POINTER;
    for (const IID* iid : iids)
      if (IsEqualIID(riid, *iid)) {
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
      }
    *out = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> references_{1};
  ServerReference server_;
};

// The library's type library, loaded once from this module's resource.
ITypeLib* library_type_lib() {
  static ITypeLib* lib = [] {
    ITypeLib* loaded = nullptr;
    wchar_t path[MAX_PATH];
    if (GetModuleFileNameW(module_handle(), path, MAX_PATH)) LoadTypeLibEx(path, REGKIND_NONE, &loaded);
    return loaded;
  }();
  return lib;
}

ITypeInfo* class_type_info(const std::u16string& type_name) {
  ITypeLib* lib = library_type_lib();
  if (!lib) return nullptr;
  const volumar::ClassInfo* info = volumar::find_class(std::string(type_name.begin(), type_name.end()));
  if (!info) return nullptr;
  std::wstring iid_text(info->iid, info->iid + std::strlen(info->iid));
  IID iid;
  if (FAILED(IIDFromString(iid_text.c_str(), &iid))) return nullptr;
  ITypeInfo* type_info = nullptr;
  lib->GetTypeInfoOfGuid(iid, &type_info);
  return type_info;
}

// The object's type info: the library's interface description when there is
// one, named after the object's class so that TypeName() says the class.
class ObjectTypeInfo final : public Unknown<ITypeInfo> {
 public:
  ObjectTypeInfo(std::u16string name, ITypeInfo* inner) : name_(std::move(name)), inner_(inner) {}
  ~ObjectTypeInfo() override {
    if (inner_) inner_->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return answer(riid, out, {&IID_IUnknown, &IID_ITypeInfo});
  }

#define VOLUMAR_FORWARD(call) return inner_ ? inner_->call : E_NOTIMPL
  HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attr) override { VOLUMAR_FORWARD(GetTypeAttr(attr)); }
  HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override { VOLUMAR_FORWARD(GetTypeComp(comp)); }
  HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** desc) override {
    VOLUMAR_FORWARD(GetFuncDesc(index, desc));
  }
  HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** desc) override {
    VOLUMAR_FORWARD(GetVarDesc(index, desc));
  }
  HRESULT STDMETHODCALLTYPE GetNames(MEMBERID id, BSTR* names, UINT max, UINT* count) override {
    VOLUMAR_FORWARD(GetNames(id, names, max, count));
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override {
    VOLUMAR_FORWARD(GetRefTypeOfImplType(index, ref));
  }
  HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override {
    VOLUMAR_FORWARD(GetImplTypeFlags(index, flags));
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* ids) override {
    VOLUMAR_FORWARD(GetIDsOfNames(names, count, ids));
  }
  HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* arg_error) override {
    VOLUMAR_FORWARD(Invoke(instance, id, flags, params, result, exception, arg_error));
  }
  HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID id, BSTR* name, BSTR* doc, DWORD* context,
                                             BSTR* help_file) override {
    if (id != MEMBERID_NIL) VOLUMAR_FORWARD(GetDocumentation(id, name, doc, context, help_file));
    if (name) *name = to_bstr(name_);
    if (doc) *doc = nullptr;
    if (context) *context = 0;
    if (help_file) *help_file = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dll, BSTR* name, WORD* ordinal) override {
    VOLUMAR_FORWARD(GetDllEntry(id, kind, dll, name, ordinal));
  }
  HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override {
    VOLUMAR_FORWARD(GetRefTypeInfo(ref, info));
  }
  HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID id, INVOKEKIND kind, PVOID* address) override {
    VOLUMAR_FORWARD(AddressOfMember(id, kind, address));
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, PVOID* object) override {
    VOLUMAR_FORWARD(CreateInstance(outer, riid, object));
  }
  HRESULT STDMETHODCALLTYPE GetMops(MEMBERID id, BSTR* mops) override { VOLUMAR_FORWARD(GetMops(id, mops)); }
  HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** lib, UINT* index) override {
    VOLUMAR_FORWARD(GetContainingTypeLib(lib, index));
  }
  void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attr) override {
    if (inner_) inner_->ReleaseTypeAttr(attr);
  }
  void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* desc) override {
    if (inner_) inner_->ReleaseFuncDesc(desc);
  }
  void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* desc) override {
    if (inner_) inner_->ReleaseVarDesc(desc);
  }
#undef VOLUMAR_FORWARD

 private:
  std::u16string name_;
  ITypeInfo* inner_;
};

// For Each over a collection: a snapshot of its items, as the runtime's
// enumerator walks the items present when the loop starts.
class EnumVariant final : public Unknown<IEnumVARIANT> {
 public:
  EnumVariant(std::vector<win::Variant> items, std::size_t next = 0) : items_(std::move(items)), next_(next) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    return answer(riid, out, {&IID_IUnknown, &IID_IEnumVARIANT});
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      const HRESULT hr = to_variant(items_[next_], &out[n]);
      if (FAILED(hr)) {
        for (ULONG i = 0; i < n; ++i) VariantClear(&out[i]);
        if (fetched) *fetched = 0;
        return hr;
      }
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = new EnumVariant(items_, next_);
    return S_OK;
  }

 private:
  std::vector<win::Variant> items_;
  std::size_t next_;
};

// Asks an IDispatch whether it is one of ours, without trusting the layout
// of a foreign object: only our objects answer this private interface id.
const IID kIID_ObjectDispatch = {0x6b1f4d2e, 0x9a57, 0x4c1b, {0x8e, 0x33, 0x5d, 0x0a, 0x71, 0xc2, 0x94, 0x10}};

class ObjectDispatch;

// The one wrapper of each object that clients hold: COM's identity rule,
// so that a property read twice gives one pointer and `Is` says so.
std::mutex g_wrappers_mutex;
std::unordered_map<const win::Object*, ObjectDispatch*> g_wrappers;

class ObjectDispatch final : public Unknown<IDispatch> {
 public:
  explicit ObjectDispatch(win::ObjectRef object) : object_(std::move(object)), dual_(dual_face(this, *object_)) {}
  ~ObjectDispatch() override {
    std::lock_guard lock(g_wrappers_mutex);
    auto it = g_wrappers.find(object_.get());
    if (it != g_wrappers.end() && it->second == this) g_wrappers.erase(it);
  }
  // The object's wrapper, a new reference to the one clients hold already
  // when there is one.
  static ObjectDispatch* of(const win::ObjectRef& object) {
    std::lock_guard lock(g_wrappers_mutex);
    ObjectDispatch*& held = g_wrappers[object.get()];
    if (!held || !held->add_ref_if_alive()) held = new ObjectDispatch(object);
    return held;
  }
  const win::ObjectRef& object() const { return object_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (void* face = out ? dual_interface(dual_, riid) : nullptr) {
      *out = face;
      AddRef();
      return S_OK;
    }
    return answer(riid, out, {&IID_IUnknown, &IID_IDispatch, &kIID_ObjectDispatch});
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    if (index != 0) return DISP_E_BADINDEX;
    const std::u16string name = object_->type_name();
    *info = new ObjectTypeInfo(name, class_type_info(name));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      const std::u16string name(reinterpret_cast<const char16_t*>(names[i]));
      std::optional<win::DISPID> id;
      if (i == 0) {
        if (win::names_equal(name, u"_NewEnum") && is_collection())
          id = DISPID_NEWENUM;
        else
          id = lookup(name);
      }
      ids[i] = id ? *id : DISPID_UNKNOWN;
      if (!id) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* arg_error) override {
    if (id == DISPID_NEWENUM && is_collection()) return new_enum(result);
    const UINT argc = params ? params->cArgs : 0;
    const UINT named = params ? params->cNamedArgs : 0;
    if (named > 1 || (named == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) return DISP_E_NONAMEDARGS;
    try {
      // DISPPARAMS holds the arguments last first; the frame wants call order,
      // a put's value last (it is rgvarg[0], the named DISPID_PROPERTYPUT).
      std::vector<win::Variant> args;
      args.reserve(argc);
      for (UINT i = argc; i-- > named;) args.push_back(argument(params->rgvarg[i], i, arg_error));
      if (named) args.push_back(argument(params->rgvarg[0], 0, arg_error));
      win::Variant value = object_->Invoke(id, flags, args);
      for (UINT i = named; i < argc; ++i) store_by_ref(args[argc - 1 - i], &params->rgvarg[i]);
      if (result) return to_variant(value, result);
      return S_OK;
    } catch (const win::AutomationError& error) {
      return to_excepinfo(error, exception);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
      return to_excepinfo(win::AutomationError(51, error.what()), exception);  // internal error
    }
  }

 private:
  bool is_collection() const { return dynamic_cast<win::Collection*>(object_.get()) != nullptr; }

  std::optional<win::DISPID> lookup(const std::u16string& name) {
    try {
      return object_->GetIDsOfNames(name);
    } catch (...) {
      return std::nullopt;
    }
  }

  static win::Variant argument(const VARIANT& v, UINT index, UINT* arg_error) {
    try {
      return from_variant(v);
    } catch (...) {
      if (arg_error) *arg_error = index;
      throw;
    }
  }

  HRESULT new_enum(VARIANT* result) {
    if (!result) return E_POINTER;
    auto& collection = static_cast<win::Collection&>(*object_);
    std::vector<win::Variant> items;
    items.reserve(static_cast<std::size_t>(collection.Count()));
    for (std::int32_t i = 0; i < collection.Count(); ++i) items.push_back(collection.item_at(i));
    VariantInit(result);
    result->vt = VT_UNKNOWN;
    result->punkVal = new EnumVariant(std::move(items));
    return S_OK;
  }

  win::ObjectRef object_;
  // The class's own interface, early-bound beside this IDispatch.
  DualFace dual_;
};

// A client's or the system's IDispatch, called by the frame like any object.
class ForeignObject final : public win::Object {
 public:
  explicit ForeignObject(IDispatch* dispatch) : dispatch_(dispatch) { dispatch_->AddRef(); }
  ~ForeignObject() override { dispatch_->Release(); }
  IDispatch* dispatch() const { return dispatch_; }

  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override {
    std::wstring text(name.begin(), name.end());
    LPOLESTR names[] = {text.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return std::nullopt;
    return id;
  }

  win::Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<win::Variant>& args) override {
    std::vector<VARIANT> argv(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      const HRESULT hr = to_variant(args[i], &argv[args.size() - 1 - i]);
      if (FAILED(hr)) {
        clear(argv);
        raise_from(hr, nullptr);
      }
    }
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{argv.data(), is_put ? &put : nullptr, static_cast<UINT>(argv.size()), is_put ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, is_put ? nullptr : &result,
                                         &exception, nullptr);
    clear(argv);
    if (FAILED(hr)) raise_from(hr, &exception);
    win::Variant value = from_variant(result);
    VariantClear(&result);
    return value;
  }

  std::u16string type_name() const override {
    ITypeInfo* info = nullptr;
    std::u16string name = u"Object";
    if (SUCCEEDED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) && info) {
      BSTR text = nullptr;
      if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &text, nullptr, nullptr, nullptr)) && text)
        name = from_bstr(text);
      SysFreeString(text);
      info->Release();
    }
    return name;
  }

 private:
  static void clear(std::vector<VARIANT>& argv) {
    for (VARIANT& v : argv) VariantClear(&v);
  }
  IDispatch* dispatch_;
};

}  // namespace

IDispatch* dispatch_of(const win::ObjectRef& object) {
  if (auto* foreign = dynamic_cast<ForeignObject*>(object.get())) {
    foreign->dispatch()->AddRef();
    return foreign->dispatch();
  }
  return ObjectDispatch::of(object);
}

win::ObjectRef object_of(IDispatch* dispatch) {
  // Our own objects come back as themselves, not as a wrapper of a wrapper.
  IDispatch* own = nullptr;
  if (SUCCEEDED(dispatch->QueryInterface(kIID_ObjectDispatch, reinterpret_cast<void**>(&own))) && own) {
    win::ObjectRef object = static_cast<ObjectDispatch*>(own)->object();
    own->Release();
    return object;
  }
  return std::make_shared<ForeignObject>(dispatch);
}

}  // namespace volumar::native
