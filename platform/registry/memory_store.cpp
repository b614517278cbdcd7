// The registry hive in memory: the default store, and the one tests use.
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/registry/registry_store.h"

namespace win::registry {
namespace {

struct Node {
  KeyId parent = 0;
  std::u16string name;
  std::int64_t written = 0;
  std::map<std::u16string, KeyId> children;  // by folded name: enumeration order
  std::vector<Value> values;                 // in the order first set
};

class MemoryStore final : public Store {
 public:
  MemoryStore() {
    for (KeyId root : {kClassesRootId, kCurrentUserId, kLocalMachineId}) nodes_[root];
  }

  LONG transact(bool, const std::function<LONG()>& body) override {
    // Every mutation is a single step that cannot fail halfway, so holding
    // the lock is all a transaction needs here.
    std::lock_guard lock(mutex_);
    try {
      return body();
    } catch (const StoreFailure& f) {
      return static_cast<LONG>(f.status);
    }
  }

  bool key_exists(KeyId key) override { return nodes_.count(key) != 0; }

  std::optional<KeyId> find_subkey(KeyId parent, std::u16string_view name) override {
    auto& children = node(parent).children;
    auto it = children.find(fold_name(name));
    if (it == children.end()) return std::nullopt;
    return it->second;
  }

  KeyId add_subkey(KeyId parent, std::u16string_view name, std::int64_t now) override {
    KeyId id = next_id_++;
    Node& n = nodes_[id];
    n.parent = parent;
    n.name = name;
    n.written = now;
    Node& p = node(parent);
    p.children.emplace(fold_name(name), id);
    p.written = now;
    return id;
  }

  std::optional<SubKey> subkey_at(KeyId parent, std::size_t index) override {
    auto& children = node(parent).children;
    if (index >= children.size()) return std::nullopt;
    auto it = std::next(children.begin(), static_cast<std::ptrdiff_t>(index));
    return SubKey{it->second, node(it->second).name};
  }

  std::vector<SubKey> subkeys(KeyId parent) override {
    std::vector<SubKey> out;
    for (auto& [fold, id] : node(parent).children) out.push_back({id, node(id).name});
    return out;
  }

  bool has_subkeys(KeyId key) override { return !node(key).children.empty(); }
  KeyId parent_of(KeyId key) override { return node(key).parent; }

  void remove_tree(KeyId key) override {
    Node& n = node(key);
    if (auto p = nodes_.find(n.parent); p != nodes_.end()) p->second.children.erase(fold_name(n.name));
    erase_below(key);
  }

  std::int64_t last_write(KeyId key) override { return node(key).written; }
  void touch(KeyId key, std::int64_t now) override { node(key).written = now; }

  std::optional<Value> value(KeyId key, std::u16string_view name) override {
    auto& values = node(key).values;
    auto it = find_value(values, name);
    if (it == values.end()) return std::nullopt;
    return *it;
  }

  std::optional<Value> value_at(KeyId key, std::size_t index) override {
    auto& values = node(key).values;
    if (index >= values.size()) return std::nullopt;
    return values[index];
  }

  std::vector<Value> values(KeyId key) override { return node(key).values; }

  void put_value(KeyId key, const Value& value) override {
    auto& values = node(key).values;
    auto it = find_value(values, value.name);
    if (it == values.end()) {
      values.push_back(value);
    } else {
      it->type = value.type;
      it->data = value.data;
    }
  }

  bool remove_value(KeyId key, std::u16string_view name) override {
    auto& values = node(key).values;
    auto it = find_value(values, name);
    if (it == values.end()) return false;
    values.erase(it);
    return true;
  }

 private:
  Node& node(KeyId key) {
    auto it = nodes_.find(key);
    if (it == nodes_.end()) throw StoreFailure{ERROR_KEY_DELETED};
    return it->second;
  }

  static std::vector<Value>::iterator find_value(std::vector<Value>& values, std::u16string_view name) {
    auto folded = fold_name(name);
    for (auto it = values.begin(); it != values.end(); ++it)
      if (fold_name(it->name) == folded) return it;
    return values.end();
  }

  void erase_below(KeyId key) {
    auto it = nodes_.find(key);
    if (it == nodes_.end()) return;
    for (auto& [fold, child] : it->second.children) erase_below(child);
    nodes_.erase(key);
  }

  std::mutex mutex_;
  std::unordered_map<KeyId, Node> nodes_;
  KeyId next_id_ = 100;
};

}  // namespace

std::unique_ptr<Store> make_memory_store() { return std::make_unique<MemoryStore>(); }

}  // namespace win::registry
