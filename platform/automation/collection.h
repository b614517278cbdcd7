// The automation runtime's Collection: ordered Variant items numbered from
// 1, each optionally under a text key that is unique without regard to case.
// A reference type: every holder of the pointer sees one collection.
#pragma once
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

  std::optional<DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"Collection"; }

 private:
  struct Entry {
    Variant item;
    std::optional<std::u16string> key;
  };
  std::size_t position(const Variant& index) const;
  std::vector<Entry> items_;
};

using CollectionRef = std::shared_ptr<Collection>;

}  // namespace win
