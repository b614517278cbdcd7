// The automation runtime's Collection: ordered Variant items numbered from
// 1, each optionally under a text key that is unique without regard to case.
// A reference type: every holder of the pointer sees one collection.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"

namespace win {

class Collection : public Object {
 public:
  static std::shared_ptr<Collection> create() { return std::make_shared<Collection>(); }

  // Raises 457 for a key already in use, 5 for an empty key.
  void Add(Variant item, std::optional<std::u16string> key = std::nullopt);
  // By number (from 1; 9 out of range) or by key (5 when absent).
  Variant Item(const Variant& index) const;
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // The key of item `index` (from 1), if it was added with one.
  std::optional<std::u16string> Key(std::int32_t index) const;
  void Remove(const Variant& index);
  // Room for this many items, for a member that knows how many it adds.
  void reserve(std::size_t count) { items_.reserve(count); }
  // Item and key at a position from 0 (below Count()), read in place.
  const Variant& item_at(std::size_t position) const { return items_[position].item; }
  const std::optional<std::u16string>& key_at(std::size_t position) const { return items_[position].key; }

  std::optional<DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"Collection"; }

 private:
  struct Entry {
    Variant item;
    std::optional<std::u16string> key;
    std::uint32_t key_hash = 0;  // of the key with case folded; keys that differ in it differ
  };
  std::size_t position(const Variant& index) const;
  std::vector<Entry> items_;
  // One bit per key hash seen (a few bits of it): a key whose bit is clear
  // is new, so adding many keys does not compare each with all before it.
  std::uint64_t key_filter_[4] = {};
};

using CollectionRef = std::shared_ptr<Collection>;

}  // namespace win
