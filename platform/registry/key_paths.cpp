// Key paths, root names and string data, shared by the registry calls and
// the .reg reader and writer.
#include <chrono>

#include "platform/registry/registry_internal.h"

namespace win::registry {

std::int64_t now_filetime() {
  using namespace std::chrono;
  constexpr std::int64_t kUnixEpochAsFiletime = 116444736000000000;
  auto since_epoch = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  return kUnixEpochAsFiletime + since_epoch / 100;
}

DWORD split_path(std::u16string_view path, std::vector<std::u16string>& names) {
  names.clear();
  if (path.empty()) return ERROR_SUCCESS;
  if (path.back() == u'\\') path.remove_suffix(1);
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find(u'\\', start);
    auto name = path.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    names.emplace_back(name);
    if (end == std::u16string_view::npos) return ERROR_SUCCESS;
    start = end + 1;
  }
}

bool storable_name(std::u16string_view name) { return name.find_first_of(u"\r\n") == std::u16string_view::npos; }

std::optional<KeyId> find_path(Store& store, KeyId from, const std::vector<std::u16string>& names) {
  KeyId key = from;
  for (const auto& name : names) {
    auto next = store.find_subkey(key, name);
    if (!next) return std::nullopt;
    key = *next;
  }
  return key;
}

KeyId create_path(Store& store, KeyId from, const std::vector<std::u16string>& names, std::int64_t now, bool* created) {
  KeyId key = from;
  bool made = false;
  for (const auto& name : names) {
    auto next = made ? std::nullopt : store.find_subkey(key, name);
    if (next) {
      key = *next;
    } else {
      key = store.add_subkey(key, name, now);
      made = true;
    }
  }
  if (created) *created = made;
  return key;
}

namespace {
struct Root {
  KeyId id;
  std::u16string_view name, abbreviation;
};
constexpr Root kRoots[] = {
    {kClassesRootId, u"HKEY_CLASSES_ROOT", u"HKCR"},
    {kCurrentUserId, u"HKEY_CURRENT_USER", u"HKCU"},
    {kLocalMachineId, u"HKEY_LOCAL_MACHINE", u"HKLM"},
};
}  // namespace

std::optional<KeyId> root_by_name(std::u16string_view name) {
  auto folded = fold_name(name);
  for (const auto& r : kRoots)
    if (folded == r.name || folded == r.abbreviation) return r.id;
  return std::nullopt;
}

std::u16string root_name(KeyId root) {
  for (const auto& r : kRoots)
    if (r.id == root) return std::u16string(r.name);
  return {};
}

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::vector<BYTE> utf16le_bytes(std::u16string_view text) {
  std::vector<BYTE> out(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<BYTE>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
  }
  return out;
}

std::u16string utf16le_text(const std::vector<BYTE>& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return out;
}

}  // namespace win::registry
