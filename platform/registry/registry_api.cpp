// The advapi32-shaped registry calls: open-key handles over the current
// store, ANSI text at the edge, one transaction per call.
#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/ansi_code_page.h"
#include "platform/registry/registry_internal.h"
#include "platform/trace.h"

namespace win {
namespace registry {
namespace {

inline constexpr REGSAM kGenericRead = 0x80000000u, kGenericWrite = 0x40000000u, kGenericExecute = 0x20000000u,
                        kGenericAll = 0x10000000u;

struct OpenKey {
  KeyId id = 0;
  REGSAM access = 0;
};

// The store and the handles opened in it change together.
struct State {
  std::mutex mutex;
  std::shared_ptr<Store> store;
  bool unavailable = false;  // the store chosen when needed did not open
  std::unordered_map<std::uintptr_t, OpenKey> handles;
  std::uintptr_t next_handle = 4;
  std::function<bool()> open;  // chooses the store at the first call that needs one
  std::atomic<bool> pending{false};
  std::mutex choosing;  // calls made while the store is chosen wait for it
  RegistryStoreFailure failure;
};

State& state() {
  static State s;
  return s;
}

std::optional<KeyId> predefined_root(HKEY h) {
  if (h == HKEY_CLASSES_ROOT) return kClassesRootId;
  if (h == HKEY_CURRENT_USER) return kCurrentUserId;
  if (h == HKEY_LOCAL_MACHINE) return kLocalMachineId;
  return std::nullopt;
}

std::shared_ptr<Store> store_locked(State& s) {
  if (!s.store && !s.unavailable) s.store = make_memory_store();
  return s.store;
}

// Outside the state's lock: the opener chooses its store through it. Other
// threads wait for the choice rather than take a store in memory meanwhile.
void choose_store_if_pending(State& s) {
  if (!s.pending.load()) return;
  std::lock_guard choosing(s.choosing);
  std::function<bool()> open;
  {
    std::lock_guard lock(s.mutex);
    open.swap(s.open);
  }
  if (!open) return;
  bool opened = false;
  try {
    opened = open();
  } catch (...) {
    opened = false;
  }
  {
    std::lock_guard lock(s.mutex);
    if (!s.open) s.pending = false;
    if (opened) return;
    s.store.reset();
    s.handles.clear();
    s.unavailable = true;
  }
  note_store_failure(ERROR_REGISTRY_IO_FAILED, "the store could not be opened");
}

// The key a handle names, with the store it was opened in (null when the
// store could not be opened).
std::optional<std::pair<OpenKey, std::shared_ptr<Store>>> lookup(HKEY h) {
  auto& s = state();
  choose_store_if_pending(s);
  std::lock_guard lock(s.mutex);
  if (auto root = predefined_root(h)) return std::pair{OpenKey{*root, KEY_ALL_ACCESS}, store_locked(s)};
  auto it = s.handles.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == s.handles.end()) return std::nullopt;
  return std::pair{it->second, store_locked(s)};
}

HKEY new_handle(KeyId id, REGSAM access) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  auto value = s.next_handle;
  s.next_handle += 4;
  s.handles[value] = OpenKey{id, access};
  return reinterpret_cast<HKEY>(value);
}

bool drop_handle(HKEY h) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.handles.erase(reinterpret_cast<std::uintptr_t>(h)) != 0;
}

void replace_store(std::shared_ptr<Store> store) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.store = std::move(store);
  s.unavailable = false;
  s.open = nullptr;
  s.pending = false;
  s.handles.clear();
}

REGSAM effective_access(REGSAM sam) {
  sam &= ~(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  if (sam & (MAXIMUM_ALLOWED | kGenericAll)) sam |= KEY_ALL_ACCESS;
  if (sam & kGenericRead) sam |= KEY_READ;
  if (sam & kGenericWrite) sam |= KEY_WRITE;
  if (sam & kGenericExecute) sam |= KEY_EXECUTE;
  return sam & ~(MAXIMUM_ALLOWED | kGenericAll | kGenericRead | kGenericWrite | kGenericExecute);
}

LONG status(DWORD code) { return static_cast<LONG>(code); }

// Runs body(store, key) in one transaction once the handle is known, holds
// the access asked for and its key still exists.
template <typename Body>
LONG with_key(HKEY h, REGSAM need, bool write, Body&& body) {
  auto found = lookup(h);
  if (!found) return status(ERROR_INVALID_HANDLE);
  // Named, not bound: lambdas may not capture structured bindings everywhere.
  OpenKey& key = found->first;
  std::shared_ptr<Store>& store = found->second;
  if (!store) return status(ERROR_REGISTRY_IO_FAILED);
  if ((key.access & need) != need) return status(ERROR_ACCESS_DENIED);
  return store->transact(write, [&]() -> LONG {
    if (!store->key_exists(key.id)) return status(ERROR_KEY_DELETED);
    return body(*store, key);
  });
}

std::u16string ansi(LPCSTR s) { return s ? ansi_to_utf16(s) : std::u16string(); }

// String data is kept as UTF-16; a NUL just past the count is counted, as NT does.
std::vector<BYTE> stored_data(DWORD type, const BYTE* data, DWORD count) {
  if (!is_string_type(type)) return std::vector<BYTE>(data, data + count);
  if (count && data[count - 1] && !data[count]) ++count;
  return utf16le_bytes(ansi_to_utf16(std::string_view(reinterpret_cast<const char*>(data), count)));
}

std::string returned_data(const Value& v) {
  if (is_string_type(v.type)) return utf16_to_ansi(utf16le_text(v.data));
  return std::string(v.data.begin(), v.data.end());
}

// Copies data into a caller's buffer of *size bytes the way the query calls do.
LONG deliver(const std::string& bytes, bool is_string, BYTE* out, DWORD* size) {
  if (!size) return status(ERROR_SUCCESS);
  DWORD room = *size;
  *size = static_cast<DWORD>(bytes.size());
  if (!out) return status(ERROR_SUCCESS);
  if (bytes.size() > room) return status(ERROR_MORE_DATA);
  std::memcpy(out, bytes.data(), bytes.size());
  // Unterminated text gets a NUL the count does not include, room permitting.
  if (is_string && bytes.size() < room && (bytes.empty() || bytes.back() != '\0')) out[bytes.size()] = 0;
  return status(ERROR_SUCCESS);
}

// Copies a name with its NUL into a buffer of *chars characters.
LONG deliver_name(const std::string& name, LPSTR out, DWORD* chars) {
  if (name.size() >= *chars) return status(ERROR_MORE_DATA);
  std::memcpy(out, name.c_str(), name.size() + 1);
  *chars = static_cast<DWORD>(name.size());
  return status(ERROR_SUCCESS);
}

// ---- trace -----------------------------------------------------------------

std::string hkey_text(HKEY h) {
  if (h == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (h == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (h == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (!h) return "null";
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
  return buf;
}

std::string quoted(const char* s, std::size_t n) {
  std::string out = "\"";
  for (std::size_t i = 0; i < n; ++i) {
    char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string str_text(LPCSTR s) { return s ? quoted(s, std::strlen(s)) : "null"; }

std::string num(std::uint64_t v) { return std::to_string(v); }

std::string hex(std::uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

std::string type_text(DWORD type) {
  switch (type) {
    case REG_NONE: return "REG_NONE";
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return "REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return "REG_LINK";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return num(type);
  }
}

std::string data_text(DWORD type, const void* data, std::size_t size) {
  if (!data) return "null";
  if (is_string_type(type)) {
    auto* text = static_cast<const char*>(data);
    if (size && text[size - 1] == '\0') --size;
    return quoted(text, size);
  }
  return "[" + hex_bytes(data, size) + "]";
}

// Name(inputs) = status[ outputs]; outputs only when the call succeeded.
void trace_call(const char* name, std::initializer_list<std::string> args, LONG rc,
                std::initializer_list<std::string> outputs = {}) {
  std::string line = name;
  line += '(';
  for (const auto& a : args) line += (&a == args.begin() ? "" : ", ") + a;
  line += ") = " + hex(static_cast<DWORD>(rc));
  if (rc == status(ERROR_SUCCESS) || rc == status(ERROR_MORE_DATA))
    for (const auto& o : outputs)
      if (!o.empty()) line += " " + o;
  trace(line);
}

std::string ptr_text(const void* p) { return p ? "&" : "null"; }
std::string size_in(const DWORD* p) { return p ? num(*p) : "null"; }
std::string size_out(const char* label, const DWORD* p) { return p ? std::string(label) + "=" + num(*p) : ""; }

}  // namespace

std::shared_ptr<Store> current_store() {
  auto& s = state();
  choose_store_if_pending(s);
  std::lock_guard lock(s.mutex);
  return store_locked(s);
}

void note_store_failure(DWORD code, std::string detail) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.failure = {status(code), std::move(detail), s.failure.serial + 1};
}

// ---- implementations ---------------------------------------------------------

namespace {

LONG create_key_ex(HKEY hKey, LPCSTR lpSubKey, DWORD dwOptions, REGSAM samDesired, PHKEY phkResult,
                   LPDWORD lpdwDisposition) {
  if (!phkResult) return status(ERROR_BADKEY);
  *phkResult = nullptr;
  if (!lpSubKey) return status(ERROR_INVALID_PARAMETER);
  if (dwOptions & REG_OPTION_VOLATILE) return status(ERROR_NOT_SUPPORTED);
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  KeyId id = 0;
  bool created = false;
  LONG rc = with_key(hKey, 0, true, [&](Store& store, const OpenKey& base) -> LONG {
    KeyId from = base.id;
    std::size_t i = 0;
    for (; i < names.size(); ++i) {
      auto next = store.find_subkey(from, names[i]);
      if (!next) break;
      from = *next;
    }
    if (i == 0 && !names.empty() && !(base.access & KEY_CREATE_SUB_KEY)) return status(ERROR_ACCESS_DENIED);
    std::vector<std::u16string> rest(names.begin() + static_cast<std::ptrdiff_t>(i), names.end());
    for (const auto& name : rest)
      if (!storable_name(name)) return status(ERROR_INVALID_NAME);
    id = create_path(store, from, rest, now_filetime(), &created);
    return status(ERROR_SUCCESS);
  });
  if (rc != status(ERROR_SUCCESS)) return rc;
  *phkResult = new_handle(id, effective_access(samDesired));
  if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return rc;
}

LONG open_key_ex(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return status(ERROR_INVALID_PARAMETER);
  *phkResult = nullptr;
  if ((!lpSubKey || !*lpSubKey) && predefined_root(hKey)) {
    *phkResult = hKey;
    return status(ERROR_SUCCESS);
  }
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  KeyId id = 0;
  LONG rc = with_key(hKey, 0, false, [&](Store& store, const OpenKey& base) -> LONG {
    auto found = find_path(store, base.id, names);
    if (!found) return status(ERROR_FILE_NOT_FOUND);
    id = *found;
    return status(ERROR_SUCCESS);
  });
  if (rc == status(ERROR_SUCCESS)) *phkResult = new_handle(id, effective_access(samDesired));
  return rc;
}

// The old forms hand back hKey itself for an empty path.
LONG same_key(HKEY hKey, PHKEY phkResult) {
  if (!lookup(hKey)) return status(ERROR_INVALID_HANDLE);
  *phkResult = hKey;
  return status(ERROR_SUCCESS);
}

LONG set_value(HKEY hKey, LPCSTR lpSubKey, LPCSTR lpValueName, DWORD type, const BYTE* data, DWORD count) {
  if (!data && count) return status(ERROR_NOACCESS);
  static const BYTE none = 0;
  Value v{ansi(lpValueName), type, stored_data(type, data ? data : &none, count)};
  if (!storable_name(v.name)) return status(ERROR_INVALID_NAME);
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  REGSAM need = names.empty() ? KEY_SET_VALUE : 0;
  return with_key(hKey, need, true, [&](Store& store, const OpenKey& base) -> LONG {
    auto now = now_filetime();
    KeyId key = base.id;
    if (!names.empty()) {
      auto found = find_path(store, base.id, names);
      if (!found) {
        if (!(base.access & KEY_CREATE_SUB_KEY) && !store.find_subkey(base.id, names[0]))
          return status(ERROR_ACCESS_DENIED);
        for (const auto& name : names)
          if (!storable_name(name)) return status(ERROR_INVALID_NAME);
        found = create_path(store, base.id, names, now);
      }
      key = *found;
    }
    store.put_value(key, v);
    store.touch(key, now);
    return status(ERROR_SUCCESS);
  });
}

LONG query_value(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return status(ERROR_INVALID_PARAMETER);
  auto name = ansi(lpValueName);
  return with_key(hKey, KEY_QUERY_VALUE, false, [&](Store& store, const OpenKey& key) -> LONG {
    auto v = store.value(key.id, name);
    if (!v) return status(ERROR_FILE_NOT_FOUND);
    if (lpType) *lpType = v->type;
    return deliver(returned_data(*v), is_string_type(v->type), lpData, lpcbData);
  });
}

LONG query_default(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  if (lpData && !lpcbData) return status(ERROR_INVALID_PARAMETER);
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  REGSAM need = names.empty() ? KEY_QUERY_VALUE : 0;
  return with_key(hKey, need, false, [&](Store& store, const OpenKey& base) -> LONG {
    auto key = find_path(store, base.id, names);
    if (!key) return status(ERROR_FILE_NOT_FOUND);
    std::string text(1, '\0');
    if (auto v = store.value(*key, u"")) {
      if (v->type != REG_SZ && v->type != REG_EXPAND_SZ) return status(ERROR_INVALID_DATA);
      text = returned_data(*v);
      if (text.empty() || text.back() != '\0') text += '\0';
    }
    if (!lpcbData) return status(ERROR_SUCCESS);
    DWORD size = *lpcbData < 0 ? 0 : static_cast<DWORD>(*lpcbData);
    LONG rc = deliver(text, true, reinterpret_cast<BYTE*>(lpData), &size);
    *lpcbData = static_cast<LONG>(size);
    return rc;
  });
}

LONG delete_key(HKEY hKey, LPCSTR lpSubKey) {
  if (!lpSubKey) return status(ERROR_INVALID_PARAMETER);
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  return with_key(hKey, names.empty() ? DELETE : 0, true, [&](Store& store, const OpenKey& base) -> LONG {
    auto key = find_path(store, base.id, names);
    if (!key) return status(ERROR_FILE_NOT_FOUND);
    KeyId parent = store.parent_of(*key);
    if (parent == 0) return status(ERROR_ACCESS_DENIED);
    if (store.has_subkeys(*key)) return status(ERROR_ACCESS_DENIED);
    store.remove_tree(*key);
    store.touch(parent, now_filetime());
    return status(ERROR_SUCCESS);
  });
}

LONG delete_tree(HKEY hKey, LPCSTR lpSubKey) {
  std::vector<std::u16string> names;
  if (auto rc = split_path(ansi(lpSubKey), names)) return status(rc);
  bool keep_key = !lpSubKey;
  REGSAM need = keep_key ? (DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE) : 0;
  return with_key(hKey, need, true, [&](Store& store, const OpenKey& base) -> LONG {
    auto key = find_path(store, base.id, names);
    if (!key) return status(ERROR_FILE_NOT_FOUND);
    KeyId parent = store.parent_of(*key);
    auto now = now_filetime();
    if (keep_key) {
      for (const auto& sub : store.subkeys(*key)) store.remove_tree(sub.id);
      for (const auto& v : store.values(*key)) store.remove_value(*key, v.name);
      store.touch(*key, now);
      return status(ERROR_SUCCESS);
    }
    if (parent == 0) return status(ERROR_ACCESS_DENIED);
    store.remove_tree(*key);
    store.touch(parent, now);
    return status(ERROR_SUCCESS);
  });
}

LONG delete_value(HKEY hKey, LPCSTR lpValueName) {
  auto name = ansi(lpValueName);
  return with_key(hKey, KEY_SET_VALUE, true, [&](Store& store, const OpenKey& key) -> LONG {
    if (!store.remove_value(key.id, name)) return status(ERROR_FILE_NOT_FOUND);
    store.touch(key.id, now_filetime());
    return status(ERROR_SUCCESS);
  });
}

LONG enum_key(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
              LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
  if (!lpName || !lpcchName || lpReserved) return status(ERROR_INVALID_PARAMETER);
  return with_key(hKey, KEY_ENUMERATE_SUB_KEYS, false, [&](Store& store, const OpenKey& key) -> LONG {
    auto sub = store.subkey_at(key.id, dwIndex);
    if (!sub) return status(ERROR_NO_MORE_ITEMS);
    if (auto rc = deliver_name(utf16_to_ansi(sub->name), lpName, lpcchName)) return rc;
    if (lpClass && lpcchClass) {
      if (*lpcchClass == 0) return status(ERROR_MORE_DATA);
      lpClass[0] = '\0';
      *lpcchClass = 0;
    }
    if (lpftLastWriteTime) {
      auto t = static_cast<std::uint64_t>(store.last_write(sub->id));
      lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(t);
      lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(t >> 32);
    }
    return status(ERROR_SUCCESS);
  });
}

LONG enum_value(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved, LPDWORD lpType,
                LPBYTE lpData, LPDWORD lpcbData) {
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return status(ERROR_INVALID_PARAMETER);
  return with_key(hKey, KEY_QUERY_VALUE, false, [&](Store& store, const OpenKey& key) -> LONG {
    auto v = store.value_at(key.id, dwIndex);
    if (!v) return status(ERROR_NO_MORE_ITEMS);
    if (auto rc = deliver_name(utf16_to_ansi(v->name), lpValueName, lpcchValueName)) return rc;
    if (lpType) *lpType = v->type;
    return deliver(returned_data(*v), is_string_type(v->type), lpData, lpcbData);
  });
}

}  // namespace
}  // namespace registry

// ---- entry points -------------------------------------------------------------

using namespace registry;

LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  LONG rc;
  if (!phkResult)
    rc = status(ERROR_BADKEY);
  else if (!lpSubKey || !*lpSubKey)
    rc = same_key(hKey, phkResult);
  else
    rc = create_key_ex(hKey, lpSubKey, REG_OPTION_NON_VOLATILE, MAXIMUM_ALLOWED, phkResult, nullptr);
  if (trace_enabled())
    trace_call("RegCreateKeyA", {hkey_text(hKey), str_text(lpSubKey), ptr_text(phkResult)}, rc,
               {"hkey=" + hkey_text(phkResult ? *phkResult : nullptr)});
  return rc;
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                     const void* lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition) {
  LONG rc = create_key_ex(hKey, lpSubKey, dwOptions, samDesired, phkResult, lpdwDisposition);
  if (trace_enabled())
    trace_call("RegCreateKeyExA",
               {hkey_text(hKey), str_text(lpSubKey), num(Reserved), str_text(lpClass), num(dwOptions), hex(samDesired),
                ptr_text(lpSecurityAttributes), ptr_text(phkResult), ptr_text(lpdwDisposition)},
               rc, {"hkey=" + hkey_text(phkResult ? *phkResult : nullptr), size_out("disposition", lpdwDisposition)});
  return rc;
}

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  LONG rc;
  if (!phkResult)
    rc = status(ERROR_INVALID_PARAMETER);
  else if (!lpSubKey || !*lpSubKey)
    rc = same_key(hKey, phkResult);
  else
    rc = open_key_ex(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
  if (trace_enabled())
    trace_call("RegOpenKeyA", {hkey_text(hKey), str_text(lpSubKey), ptr_text(phkResult)}, rc,
               {"hkey=" + hkey_text(phkResult ? *phkResult : nullptr)});
  return rc;
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  LONG rc = open_key_ex(hKey, lpSubKey, samDesired, phkResult);
  if (trace_enabled())
    trace_call("RegOpenKeyExA",
               {hkey_text(hKey), str_text(lpSubKey), num(ulOptions), hex(samDesired), ptr_text(phkResult)}, rc,
               {"hkey=" + hkey_text(phkResult ? *phkResult : nullptr)});
  return rc;
}

LONG RegCloseKey(HKEY hKey) {
  LONG rc = predefined_root(hKey) || drop_handle(hKey) ? status(ERROR_SUCCESS) : status(ERROR_INVALID_HANDLE);
  if (trace_enabled()) trace_call("RegCloseKey", {hkey_text(hKey)}, rc);
  return rc;
}

LONG RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData) {
  LONG rc = dwType != REG_SZ || !lpData
                ? status(ERROR_INVALID_PARAMETER)
                : set_value(hKey, lpSubKey, nullptr, REG_SZ, reinterpret_cast<const BYTE*>(lpData),
                            static_cast<DWORD>(std::strlen(lpData) + 1));
  if (trace_enabled())
    trace_call("RegSetValueA", {hkey_text(hKey), str_text(lpSubKey), type_text(dwType), str_text(lpData), num(cbData)},
               rc);
  return rc;
}

LONG RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData) {
  std::string room = lpcbData ? std::to_string(*lpcbData) : "null";
  LONG rc = query_default(hKey, lpSubKey, lpData, lpcbData);
  if (trace_enabled()) {
    bool got = rc == status(ERROR_SUCCESS) && lpData && lpcbData;
    trace_call("RegQueryValueA", {hkey_text(hKey), str_text(lpSubKey), ptr_text(lpData), room}, rc,
               {got ? "data=" + data_text(REG_SZ, lpData, static_cast<std::size_t>(*lpcbData)) : "",
                lpcbData ? "size=" + std::to_string(*lpcbData) : ""});
  }
  return rc;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  LONG rc = set_value(hKey, nullptr, lpValueName, dwType, lpData, cbData);
  if (trace_enabled())
    trace_call("RegSetValueExA",
               {hkey_text(hKey), str_text(lpValueName), num(Reserved), type_text(dwType),
                data_text(dwType, lpData, cbData), num(cbData)},
               rc);
  return rc;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData) {
  std::string room = size_in(lpcbData);
  LONG rc = query_value(hKey, lpValueName, lpReserved, lpType, lpData, lpcbData);
  if (trace_enabled()) {
    bool got = rc == status(ERROR_SUCCESS) && lpData && lpcbData;
    trace_call(
        "RegQueryValueExA",
        {hkey_text(hKey), str_text(lpValueName), ptr_text(lpReserved), ptr_text(lpType), ptr_text(lpData), room}, rc,
        {lpType ? "type=" + type_text(*lpType) : "",
         got ? "data=" + data_text(lpType ? *lpType : REG_BINARY, lpData, *lpcbData) : "", size_out("size", lpcbData)});
  }
  return rc;
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  LONG rc = delete_value(hKey, lpValueName);
  if (trace_enabled()) trace_call("RegDeleteValueA", {hkey_text(hKey), str_text(lpValueName)}, rc);
  return rc;
}

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  LONG rc = delete_key(hKey, lpSubKey);
  if (trace_enabled()) trace_call("RegDeleteKeyA", {hkey_text(hKey), str_text(lpSubKey)}, rc);
  return rc;
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  LONG rc = delete_tree(hKey, lpSubKey);
  if (trace_enabled()) trace_call("RegDeleteTreeA", {hkey_text(hKey), str_text(lpSubKey)}, rc);
  return rc;
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  DWORD chars = cchName;
  LONG rc = enum_key(hKey, dwIndex, lpName, &chars, nullptr, nullptr, nullptr, nullptr);
  if (trace_enabled())
    trace_call("RegEnumKeyA", {hkey_text(hKey), num(dwIndex), ptr_text(lpName), num(cchName)}, rc,
               {rc == status(ERROR_SUCCESS) ? "name=" + str_text(lpName) : ""});
  return rc;
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                   LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
  std::string room = size_in(lpcchName);
  LONG rc = enum_key(hKey, dwIndex, lpName, lpcchName, lpReserved, lpClass, lpcchClass, lpftLastWriteTime);
  if (trace_enabled())
    trace_call("RegEnumKeyExA",
               {hkey_text(hKey), num(dwIndex), ptr_text(lpName), room, ptr_text(lpReserved), ptr_text(lpClass),
                size_in(lpcchClass), ptr_text(lpftLastWriteTime)},
               rc, {rc == status(ERROR_SUCCESS) ? "name=" + str_text(lpName) : ""});
  return rc;
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  std::string name_room = size_in(lpcchValueName), data_room = size_in(lpcbData);
  LONG rc = enum_value(hKey, dwIndex, lpValueName, lpcchValueName, lpReserved, lpType, lpData, lpcbData);
  if (trace_enabled()) {
    bool got = rc == status(ERROR_SUCCESS);
    trace_call("RegEnumValueA",
               {hkey_text(hKey), num(dwIndex), ptr_text(lpValueName), name_room, ptr_text(lpReserved), ptr_text(lpType),
                ptr_text(lpData), data_room},
               rc,
               {got ? "name=" + str_text(lpValueName) : "", lpType ? "type=" + type_text(*lpType) : "",
                got && lpData && lpcbData ? "data=" + data_text(lpType ? *lpType : REG_BINARY, lpData, *lpcbData) : "",
                size_out("size", lpcbData)});
  }
  return rc;
}

// ---- host configuration -------------------------------------------------------

bool registry_use_file(const std::filesystem::path& path) {
  auto store = open_file_store(path);
  if (!store) return false;
  replace_store(std::move(store));
  return true;
}

void registry_use_memory() { replace_store(make_memory_store()); }

void registry_open_when_needed(std::function<bool()> open) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.store.reset();
  s.unavailable = false;
  s.handles.clear();
  s.open = std::move(open);
  s.pending = true;
}

RegistryStoreFailure registry_store_failure() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  return s.failure;
}

}  // namespace win
