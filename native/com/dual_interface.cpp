// Dual vtables built from the member tables. Every slot is a thunk taking
// fixed pointer-sized words, instantiated per (slot, word count): on i686
// stdcall the callee pops its arguments, so the word count must be the
// member's own; on x86-64 each automation argument fills one word.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "frame/automation_object.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/collection.h"
#include "platform/automation/variant_conversion.h"
#include "server/class_registry.h"

#include "native/com/dual_interface.h"

#include <oleauto.h>

#include "native/com/com_objects.h"
#include "native/com/value_conversion.h"

namespace volumar::native {

// How a value travels in a slot, by the automation type of its parameter.
enum class Carrier : std::uint8_t { Text, Long, Short, Byte, Bool, Double, Variant, Object, Collection, Unknown };

struct ArgPlan {
  Carrier carrier;
  bool by_ref;       // a pointer to the caller's variable, written back
  std::size_t word;  // first word of the value in the slot's arguments
};

struct SlotPlan {
  const MemberInfo* member;
  win::DispatchKind kind;
  std::vector<ArgPlan> args;
  std::optional<ArgPlan> result;  // the [out, retval] pointer
};

struct DualTable {
  IID iid;
  std::vector<Entry> entries;
  std::vector<SlotPlan> slots;
};

namespace {

// The largest class has 90 members; the longest parameter list takes 6 words.
constexpr std::size_t kMaxSlots = 128;
constexpr std::size_t kMaxWords = 8;

HRESULT call_member(DualFace& face, std::size_t slot, const std::uintptr_t* words);

template <std::size_t>
using Word = std::uintptr_t;

template <std::size_t Slot, class Words>
struct Thunk;
template <std::size_t Slot, std::size_t... I>
struct Thunk<Slot, std::index_sequence<I...>> {
  static HRESULT STDMETHODCALLTYPE call(DualFace* face, Word<I>... words) {
    const std::uintptr_t args[] = {words..., 0};
    return call_member(*face, Slot, args);
  }
};

template <std::size_t Words, std::size_t... Slot>
Entry thunk_of(std::size_t slot, std::index_sequence<Slot...>) {
  static const Entry thunks[] = {reinterpret_cast<Entry>(&Thunk<Slot, std::make_index_sequence<Words>>::call)...};
  return thunks[slot];
}

template <std::size_t... Words>
Entry thunk_of(std::size_t words, std::size_t slot, std::index_sequence<Words...>) {
  Entry entry = nullptr;
  (
      [&] {
        if (words == Words) entry = thunk_of<Words>(slot, std::make_index_sequence<kMaxSlots>{});
      }(),
      ...);
  return entry;
}

// IDispatch's entries, answered by the owning wrapper.
DualFace& face_of(void* self) { return *static_cast<DualFace*>(self); }
HRESULT STDMETHODCALLTYPE query(void* self, REFIID riid, void** out) {
  return face_of(self).owner->QueryInterface(riid, out);
}
ULONG STDMETHODCALLTYPE add_ref(void* self) { return face_of(self).owner->AddRef(); }
ULONG STDMETHODCALLTYPE release(void* self) { return face_of(self).owner->Release(); }
HRESULT STDMETHODCALLTYPE type_info_count(void* self, UINT* count) {
  return face_of(self).owner->GetTypeInfoCount(count);
}
HRESULT STDMETHODCALLTYPE type_info(void* self, UINT index, LCID lcid, ITypeInfo** info) {
  return face_of(self).owner->GetTypeInfo(index, lcid, info);
}
HRESULT STDMETHODCALLTYPE ids_of_names(void* self, REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return face_of(self).owner->GetIDsOfNames(riid, names, count, lcid, ids);
}
HRESULT STDMETHODCALLTYPE invoke(void* self, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  return face_of(self).owner->Invoke(id, riid, lcid, flags, params, result, exception, arg_error);
}

DualFace& error_face_of(void* self) {
  return *reinterpret_cast<DualFace*>(static_cast<char*>(self) - offsetof(DualFace, error_vtable));
}
HRESULT STDMETHODCALLTYPE error_query(void* self, REFIID riid, void** out) {
  return error_face_of(self).owner->QueryInterface(riid, out);
}
ULONG STDMETHODCALLTYPE error_add_ref(void* self) { return error_face_of(self).owner->AddRef(); }
ULONG STDMETHODCALLTYPE error_release(void* self) { return error_face_of(self).owner->Release(); }
HRESULT STDMETHODCALLTYPE supports_error_info(void* self, REFIID riid) {
  return IsEqualIID(riid, error_face_of(self).table->iid) ? S_OK : S_FALSE;
}

template <class F>
Entry entry(F* function) {
  return reinterpret_cast<Entry>(function);
}

const Entry kErrorVtable[] = {entry(&error_query), entry(&error_add_ref), entry(&error_release),
                              entry(&supports_error_info)};

Carrier carrier_of(const TypeDesc& type) {
  const std::string_view name = type.name;
  switch (type.vt) {
    case win::VarType::String: return Carrier::Text;
    case win::VarType::Long: return Carrier::Long;
    case win::VarType::Integer: return Carrier::Short;
    case win::VarType::Byte: return Carrier::Byte;
    case win::VarType::Boolean: return Carrier::Bool;
    case win::VarType::Double: return Carrier::Double;
    case win::VarType::Variant: return Carrier::Variant;
    case win::VarType::Object:
      if (name == "Collection") return Carrier::Collection;
      return name == "Unknown" ? Carrier::Unknown : Carrier::Object;
    default: throw std::logic_error("no vtable type for " + std::string(name));
  }
}

// Words a value by value takes: VARIANT travels by pointer on x86-64 and
// inline on i686. A Double arrives in a floating-point register on x86-64,
// out of the thunk's reach; no member takes one by value.
std::size_t words_by_value(Carrier carrier) {
  switch (carrier) {
    case Carrier::Double: throw std::logic_error("Double by value is not carried by the vtable thunks");
    case Carrier::Unknown: throw std::logic_error("IUnknown is carried only as a result");
    case Carrier::Variant: return sizeof(void*) == 8 ? 1 : sizeof(VARIANT) / sizeof(std::uintptr_t);
    default: return 1;
  }
}

win::DispatchKind dispatch_kind(MemberKind kind) {
  switch (kind) {
    case MemberKind::Get: return DISPATCH_PROPERTYGET;
    case MemberKind::Put: return DISPATCH_PROPERTYPUT;
    case MemberKind::PutRef: return DISPATCH_PROPERTYPUTREF;
    case MemberKind::Method: break;
  }
  return DISPATCH_METHOD;
}

std::unique_ptr<DualTable> build_table(const char* owner, const char* iid, const std::vector<MemberInfo>& members) {
  auto table = std::make_unique<DualTable>();
  std::wstring iid_text(iid, iid + std::strlen(iid));
  if (FAILED(IIDFromString(iid_text.c_str(), &table->iid)))
    throw std::logic_error(std::string(owner) + ": bad interface id " + iid);
  if (members.size() > kMaxSlots)
    throw std::logic_error(std::string(owner) + ": more members than the " + std::to_string(kMaxSlots) + " thunks");
  table->entries = {entry(&query),     entry(&add_ref),      entry(&release), entry(&type_info_count),
                    entry(&type_info), entry(&ids_of_names), entry(&invoke)};
  for (std::size_t slot = 0; slot < members.size(); ++slot) {
    const MemberInfo& m = members[slot];
    SlotPlan plan{&m, dispatch_kind(m.kind), {}, std::nullopt};
    const bool put = m.kind == MemberKind::Put || m.kind == MemberKind::PutRef;
    std::size_t words = 0;
    try {
      for (const ParamDesc& p : m.params) {
        const ArgPlan arg{carrier_of(p.type), p.by_ref && !put, words};
        if (arg.by_ref && arg.carrier == Carrier::Unknown)
          throw std::logic_error("IUnknown is carried only as a result");
        words += arg.by_ref ? 1 : words_by_value(arg.carrier);
        plan.args.push_back(arg);
      }
      if (m.result.vt != win::VarType::Empty) plan.result = ArgPlan{carrier_of(m.result), true, words++};
      if (words > kMaxWords) throw std::logic_error("more argument words than " + std::to_string(kMaxWords));
    } catch (const std::logic_error& error) {
      throw std::logic_error(std::string(owner) + "." + m.name + ": " + error.what());
    }
    table->entries.push_back(thunk_of(words, slot, std::make_index_sequence<kMaxWords + 1>{}));
    table->slots.push_back(std::move(plan));
  }
  return table;
}

// _Collection as the runtime's type library lays it out.
const std::vector<MemberInfo>& collection_members() {
  static const std::vector<MemberInfo> members = [] {
    const TypeDesc variant{win::VarType::Variant, "Variant"};
    auto param = [&](const char* name, bool optional) { return ParamDesc{name, variant, true, optional, {}}; };
    const ParamDesc index = param("Index", false);
    return std::vector<MemberInfo>{
        {"Item", MemberKind::Method, 0, {index}, variant, nullptr},
        {"Add",
         MemberKind::Method,
         1,
         {param("Item", false), param("Key", true), param("Before", true), param("After", true)},
         {},
         nullptr},
        {"Count", MemberKind::Method, 2, {}, {win::VarType::Long, "Long"}, nullptr},
        {"Remove", MemberKind::Method, 3, {index}, {}, nullptr},
        {"_NewEnum", MemberKind::Method, DISPID_NEWENUM, {}, {win::VarType::Object, "Unknown"}, nullptr},
    };
  }();
  return members;
}

std::mutex g_tables_mutex;

// Built once per class; a class the thunks cannot carry gets none, said once.
const DualTable* table_of(const void* key, const char* owner, const char* iid, const std::vector<MemberInfo>& members,
                          std::string* refusal = nullptr) {
  static std::map<const void*, std::pair<std::unique_ptr<DualTable>, std::string>> tables;
  std::lock_guard lock(g_tables_mutex);
  auto [it, added] = tables.try_emplace(key);
  if (added) {
    try {
      it->second.first = build_table(owner, iid, members);
    } catch (const std::logic_error& error) {
      it->second.second = error.what();
      const std::string line = "volumar10: no dual interface for " + it->second.second + "\n";
      OutputDebugStringA(line.c_str());
      std::fputs(line.c_str(), stderr);
    }
  }
  if (refusal) *refusal = it->second.second;
  return it->second.first.get();
}

const DualTable* class_table(const ClassInfo& info, std::string* refusal = nullptr) {
  return table_of(&info, info.interface_name, info.iid, info.members(), refusal);
}

// The runtime's own _Collection, which the type library's Collection names.
const DualTable* collection_table() {
  return table_of(&collection_members(), "_Collection", "{A4C46780-499F-101B-BB78-00AA00383CBB}", collection_members());
}

win::Variant object_in(IDispatch* dispatch) { return win::Variant(dispatch ? object_of(dispatch) : win::ObjectRef()); }

IDispatch* object_out(const win::ObjectRef& object, Carrier carrier) {
  if (!object) return nullptr;
  IDispatch* dispatch = dispatch_of(object);
  IDispatch* collection = nullptr;
  const DualTable* table = carrier == Carrier::Collection ? collection_table() : nullptr;
  if (table && SUCCEEDED(dispatch->QueryInterface(table->iid, reinterpret_cast<void**>(&collection)))) {
    dispatch->Release();
    return collection;
  }
  return dispatch;
}

win::Variant read_arg(const ArgPlan& arg, const std::uintptr_t* w) {
  if (!arg.by_ref) {
    switch (arg.carrier) {
      case Carrier::Text: return win::Variant(from_bstr(reinterpret_cast<BSTR>(w[0])));
      case Carrier::Long: return win::Variant(static_cast<std::int32_t>(static_cast<std::uint32_t>(w[0])));
      case Carrier::Short: return win::Variant(static_cast<std::int16_t>(static_cast<std::uint16_t>(w[0])));
      case Carrier::Byte: return win::Variant(static_cast<std::uint8_t>(w[0]));
      case Carrier::Bool: return win::Variant(static_cast<std::uint16_t>(w[0]) != 0);
      case Carrier::Object:
      case Carrier::Collection: return object_in(reinterpret_cast<IDispatch*>(w[0]));
      case Carrier::Variant:
        if constexpr (sizeof(void*) == 8) {
          return from_variant(*reinterpret_cast<const VARIANT*>(w[0]));
        } else {
          VARIANT value;
          std::memcpy(&value, w, sizeof value);
          return from_variant(value);
        }
      case Carrier::Double:
      case Carrier::Unknown: break;  // refused when the table was built
    }
    throw std::logic_error("uncarried argument");
  }
  void* p = reinterpret_cast<void*>(w[0]);
  // A null pointer is an omitted argument: optional ones take their default.
  if (!p) return win::Variant::missing();
  switch (arg.carrier) {
    case Carrier::Text: return win::Variant(from_bstr(*static_cast<BSTR*>(p)));
    case Carrier::Long: return win::Variant(static_cast<std::int32_t>(*static_cast<LONG*>(p)));
    case Carrier::Short: return win::Variant(static_cast<std::int16_t>(*static_cast<SHORT*>(p)));
    case Carrier::Byte: return win::Variant(static_cast<std::uint8_t>(*static_cast<BYTE*>(p)));
    case Carrier::Bool: return win::Variant(*static_cast<VARIANT_BOOL*>(p) != VARIANT_FALSE);
    case Carrier::Double: return win::Variant(*static_cast<double*>(p));
    case Carrier::Variant: return from_variant(*static_cast<VARIANT*>(p));
    case Carrier::Object:
    case Carrier::Collection: return object_in(*static_cast<IDispatch**>(p));
    case Carrier::Unknown: break;
  }
  throw std::logic_error("uncarried argument");
}

// An [out] pointer's starting value: nothing to free, whatever the caller left.
void clear_out(Carrier carrier, void* p) {
  switch (carrier) {
    case Carrier::Text: *static_cast<BSTR*>(p) = nullptr; break;
    case Carrier::Long: *static_cast<LONG*>(p) = 0; break;
    case Carrier::Short: *static_cast<SHORT*>(p) = 0; break;
    case Carrier::Byte: *static_cast<BYTE*>(p) = 0; break;
    case Carrier::Bool: *static_cast<VARIANT_BOOL*>(p) = VARIANT_FALSE; break;
    case Carrier::Double: *static_cast<double*>(p) = 0; break;
    case Carrier::Variant: VariantInit(static_cast<VARIANT*>(p)); break;
    case Carrier::Object:
    case Carrier::Collection:
    case Carrier::Unknown: *static_cast<IUnknown**>(p) = nullptr; break;
  }
}

// Replaces the value behind p, freeing what it held, in the pointer's type.
void store(Carrier carrier, const win::Variant& value, void* p) {
  switch (carrier) {
    case Carrier::Text: {
      BSTR text = to_bstr(win::to_string(value));
      if (!text) throw std::bad_alloc();
      SysFreeString(*static_cast<BSTR*>(p));
      *static_cast<BSTR*>(p) = text;
      break;
    }
    case Carrier::Long: *static_cast<LONG*>(p) = win::to_long(value); break;
    case Carrier::Short: *static_cast<SHORT*>(p) = win::to_integer(value); break;
    case Carrier::Byte: *static_cast<BYTE*>(p) = win::to_byte(value); break;
    case Carrier::Bool: *static_cast<VARIANT_BOOL*>(p) = win::to_bool(value) ? VARIANT_TRUE : VARIANT_FALSE; break;
    case Carrier::Double: *static_cast<double*>(p) = win::to_double(value); break;
    case Carrier::Variant: {
      auto* target = static_cast<VARIANT*>(p);
      HRESULT hr = S_OK;
      if (target->vt & VT_BYREF) {
        hr = store_by_ref(value, target);
      } else {
        VARIANT converted;
        hr = to_variant(value, &converted);
        if (SUCCEEDED(hr)) {
          VariantClear(target);
          *target = converted;
        }
      }
      if (FAILED(hr)) raise_from(hr, nullptr);
      break;
    }
    case Carrier::Object:
    case Carrier::Collection: {
      IDispatch*& target = *static_cast<IDispatch**>(p);
      const win::ObjectRef object = win::to_object(value);
      // The caller's own pointer stays when the member left the object as it was.
      if (target && object && object_of(target).get() == object.get()) break;
      IDispatch* next = object_out(object, carrier);
      if (target) target->Release();
      target = next;
      break;
    }
    case Carrier::Unknown: throw std::logic_error("uncarried result");
  }
}

// By-reference arguments go back also when the member fails, as the
// binding leaves them: the member worked on the caller's variables.
void write_back(const SlotPlan& plan, const std::uintptr_t* words, std::vector<win::Variant>& args, bool failed) {
  for (std::size_t i = 0; i < plan.args.size(); ++i) {
    void* p = reinterpret_cast<void*>(words[plan.args[i].word]);
    if (!plan.args[i].by_ref || !p) continue;
    try {
      store(plan.args[i].carrier, args[i], p);
    } catch (...) {
      if (!failed) throw;
    }
  }
}

// For Each's enumerator comes from the wrapper, which makes it for Invoke.
HRESULT new_enum(DualFace& face, const SlotPlan& plan, IUnknown** out) {
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const HRESULT hr = face.owner->Invoke(plan.member->id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                                        nullptr, nullptr);
  if (FAILED(hr)) return hr;
  if (result.vt != VT_UNKNOWN) {
    VariantClear(&result);
    return E_UNEXPECTED;
  }
  *out = result.punkVal;
  return S_OK;
}

HRESULT without_error_info(HRESULT hr) {
  SetErrorInfo(0, nullptr);
  return hr;
}

HRESULT call_member(DualFace& face, std::size_t slot, const std::uintptr_t* words) {
  const DualTable& table = *face.table;
  const SlotPlan& plan = table.slots[slot];
  void* out = nullptr;
  if (plan.result) {
    out = reinterpret_cast<void*>(words[plan.result->word]);
    if (!out) return without_error_info(E_POINTER);
    clear_out(plan.result->carrier, out);
    if (plan.result->carrier == Carrier::Unknown) return new_enum(face, plan, static_cast<IUnknown**>(out));
  }
  try {
    std::vector<win::Variant> args;
    args.reserve(plan.args.size());
    for (const ArgPlan& arg : plan.args) args.push_back(read_arg(arg, words + arg.word));
    win::Variant result;
    try {
      result = face.object->Invoke(plan.member->id, plan.kind, args);
    } catch (...) {
      write_back(plan, words, args, true);
      throw;
    }
    write_back(plan, words, args, false);
    if (out) store(plan.result->carrier, result, out);
    return S_OK;
  } catch (const win::AutomationError& error) {
    return to_error_info(error, table.iid);
  } catch (const std::bad_alloc&) {
    return without_error_info(E_OUTOFMEMORY);
  } catch (const std::exception& error) {
    return to_error_info(win::AutomationError(51, error.what()), table.iid);  // internal error
  }
}

}  // namespace

DualFace dual_face(IDispatch* owner, win::Object& object) {
  DualFace face;
  // Only the classes the type library declares; the companion's are private.
  auto* automation = dynamic_cast<AutomationObject*>(&object);
  if (automation && find_class(automation->class_info().name) == &automation->class_info())
    face.table = class_table(automation->class_info());
  else if (dynamic_cast<win::Collection*>(&object))
    face.table = collection_table();
  if (!face.table) return face;
  face.vtable = face.table->entries.data();
  face.error_vtable = kErrorVtable;
  face.owner = owner;
  face.object = &object;
  return face;
}

void* dual_interface(DualFace& face, REFIID riid) {
  if (!face.table) return nullptr;
  if (IsEqualIID(riid, face.table->iid)) return &face.vtable;
  if (IsEqualIID(riid, IID_ISupportErrorInfo)) return &face.error_vtable;
  return nullptr;
}

std::string check_dual_interfaces() {
  std::string refusal;
  for (const ClassInfo* info : library_classes())
    if (!class_table(*info, &refusal)) return refusal;
  return {};
}

}  // namespace volumar::native
