// What the registry calls and the .reg reader and writer share: the current
// store, key paths, root names and the conversion of string data.
#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/registry_store.h"

namespace win::registry {

// Null when the store chosen when needed could not be opened.
std::shared_ptr<Store> current_store();
void note_store_failure(DWORD status, std::string detail);
// The store's clock: 100-ns intervals since 1601, as FILETIME counts.
std::int64_t now_filetime();

// Splits "a\b\c" into its names. A leading or doubled backslash is
// ERROR_BAD_PATHNAME; one trailing backslash is allowed.
DWORD split_path(std::u16string_view path, std::vector<std::u16string>& names);

// False for a name the .reg text cannot carry (one with CR or LF).
bool storable_name(std::u16string_view name);

// Inside a transaction: the key at `names` below `from`, if every step exists.
std::optional<KeyId> find_path(Store& store, KeyId from, const std::vector<std::u16string>& names);
// Inside a transaction: creates what is missing; *created tells whether the last one was new.
KeyId create_path(Store& store, KeyId from, const std::vector<std::u16string>& names, std::int64_t now,
                  bool* created = nullptr);

// "HKEY_CLASSES_ROOT" and its short form "HKCR", likewise for the other roots,
// without regard to case.
std::optional<KeyId> root_by_name(std::u16string_view name);
std::u16string root_name(KeyId root);

bool is_string_type(DWORD type);
std::vector<BYTE> utf16le_bytes(std::u16string_view text);
// A trailing odd byte is dropped, as the system does.
std::u16string utf16le_text(const std::vector<BYTE>& bytes);

}  // namespace win::registry
