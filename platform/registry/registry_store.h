// The store behind the registry calls: keys by id, values as type and bytes.
// Two kinds share this interface: a hive in memory and a SQLite file.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace win::registry {

// Ids are never reused, so a handle to a deleted key stays recognisably dead.
using KeyId = std::int64_t;

inline constexpr KeyId kClassesRootId = 1;
inline constexpr KeyId kCurrentUserId = 2;
inline constexpr KeyId kLocalMachineId = 3;

struct Value {
  std::u16string name;  // "" is the default value
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct SubKey {
  KeyId id = 0;
  std::u16string name;
};

// Thrown by store operations when the medium fails; transact() turns it
// into a status code after rolling back.
struct StoreFailure {
  DWORD status;
};

class Store {
 public:
  virtual ~Store() = default;

  // Runs body as one transaction, exclusive across threads and processes when
  // `write`. A body decides any failure of its own before it changes anything;
  // a StoreFailure midway rolls the whole transaction back.
  virtual LONG transact(bool write, const std::function<LONG()>& body) = 0;

  // Everything below is called only inside transact(). Names are matched
  // without regard to case and kept with the case they were created with.
  virtual bool key_exists(KeyId key) = 0;
  virtual std::optional<KeyId> find_subkey(KeyId parent, std::u16string_view name) = 0;
  virtual KeyId add_subkey(KeyId parent, std::u16string_view name, std::int64_t now) = 0;
  virtual std::optional<SubKey> subkey_at(KeyId parent, std::size_t index) = 0;
  virtual std::vector<SubKey> subkeys(KeyId parent) = 0;
  virtual bool has_subkeys(KeyId key) = 0;
  // 0 for a root.
  virtual KeyId parent_of(KeyId key) = 0;
  // Removes the key, every key below it and all their values.
  virtual void remove_tree(KeyId key) = 0;
  virtual std::int64_t last_write(KeyId key) = 0;
  virtual void touch(KeyId key, std::int64_t now) = 0;

  virtual std::optional<Value> value(KeyId key, std::u16string_view name) = 0;
  virtual std::optional<Value> value_at(KeyId key, std::size_t index) = 0;
  virtual std::vector<Value> values(KeyId key) = 0;
  // Replaces an existing value in place (keeping its name and position).
  virtual void put_value(KeyId key, const Value& value) = 0;
  virtual bool remove_value(KeyId key, std::u16string_view name) = 0;
};

std::unique_ptr<Store> make_memory_store();
// Null when the file cannot be opened or holds something other than a registry.
std::unique_ptr<Store> open_file_store(const std::filesystem::path& path);

// The comparison key of a name: names equal without regard to case fold alike.
std::u16string fold_name(std::u16string_view name);

}  // namespace win::registry
