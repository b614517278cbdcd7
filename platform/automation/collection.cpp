#include "platform/automation/collection.h"

#include "platform/automation/automation_error.h"
#include "platform/automation/variant_conversion.h"

namespace win {
namespace {
enum : DISPID { kItem = 0, kAdd = 1, kCount = 2, kRemove = 3 };

// FNV-1a over the key folded as names_equal folds it, so equal keys hash
// equal and most unequal ones are told apart without a comparison.
std::uint32_t key_hash(std::u16string_view key) {
  std::uint32_t h = 2166136261u;
  for (char16_t c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    h = (h ^ c) * 16777619u;
  }
  return h;
}
}  // namespace

void Collection::Add(Variant item, std::optional<std::u16string> key) {
  std::uint32_t hash = 0;
  if (key) {
    if (key->empty()) raise_error(kErrInvalidProcedureCall);
    hash = key_hash(*key);
    const std::uint32_t bit = (hash ^ (hash >> 16)) & 255;
    std::uint64_t& word = key_filter_[bit >> 6];
    const std::uint64_t mask = std::uint64_t{1} << (bit & 63);
    if (word & mask) {
      for (const auto& e : items_)
        if (e.key && e.key_hash == hash && names_equal(*e.key, *key)) raise_error(kErrKeyAlreadyAssociated);
    }
    word |= mask;
  }
  // Items are stored by value; a reference argument gives its current value.
  if (item.is_ref()) item = Variant(item.deref());
  items_.push_back(Entry{std::move(item), std::move(key), hash});
}

std::size_t Collection::position(const Variant& index) const {
  if (index.type() == VarType::String) {
    const std::u16string& key = index.string_value();
    const std::uint32_t hash = key_hash(key);
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i].key && items_[i].key_hash == hash && names_equal(*items_[i].key, key)) return i;
    raise_error(kErrInvalidProcedureCall);
  }
  std::int32_t n = to_long(index);
  if (n < 1 || n > Count()) raise_error(kErrSubscriptOutOfRange);
  return static_cast<std::size_t>(n - 1);
}

std::optional<std::u16string> Collection::Key(std::int32_t index) const { return items_[position(Variant(index))].key; }

Variant Collection::Item(const Variant& index) const { return items_[position(index)].item; }

void Collection::Remove(const Variant& index) { items_.erase(items_.begin() + static_cast<long>(position(index))); }

std::optional<DISPID> Collection::GetIDsOfNames(std::u16string_view name) {
  if (names_equal(name, u"Item")) return kItem;
  if (names_equal(name, u"Add")) return kAdd;
  if (names_equal(name, u"Count")) return kCount;
  if (names_equal(name, u"Remove")) return kRemove;
  return std::nullopt;
}

Variant Collection::Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) {
  auto arg = [&](std::size_t i) -> const Variant* {
    return i < args.size() && !args[i].is_missing() ? &args[i].deref() : nullptr;
  };
  if (!(kind & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) raise_error(kErrNotSupported);
  switch (id) {
    case kItem:
      if (!arg(0)) raise_error(kErrNotOptional);
      return Item(*arg(0));
    case kAdd: {
      if (!arg(0)) raise_error(kErrNotOptional);
      std::optional<std::u16string> key;
      if (arg(1)) key = to_string(*arg(1));
      Add(*arg(0), std::move(key));
      return {};
    }
    case kCount: return Count();
    case kRemove:
      if (!arg(0)) raise_error(kErrNotOptional);
      Remove(*arg(0));
      return {};
    default: raise_error(kErrNotSupported);
  }
}

}  // namespace win
