#include "platform/automation/expando_object.h"

#include <exception>

#include "platform/automation/automation_error.h"

namespace win {
namespace {

// The runtime's "Automation error": a failure the object reported itself.
constexpr std::int32_t kErrAutomation = 440;

std::vector<Variant> values_of(const std::vector<Variant>& args) {
  std::vector<Variant> out;
  out.reserve(args.size());
  for (const auto& a : args) out.push_back(a.is_missing() ? a : Variant(a.deref()));
  return out;
}

}  // namespace

ExpandoObject::Member* ExpandoObject::find(std::u16string_view name) {
  for (auto& m : members_)
    if (names_equal(m.name, name)) return &m;
  return nullptr;
}

const ExpandoObject::Member* ExpandoObject::find(std::u16string_view name) const {
  for (const auto& m : members_)
    if (names_equal(m.name, name)) return &m;
  return nullptr;
}

ExpandoObject::Member& ExpandoObject::ensure(std::u16string_view name) {
  if (Member* m = find(name)) return *m;
  members_.push_back(Member{std::u16string(name), next_id_++, {}, {}, {}, {}});
  return members_.back();
}

ExpandoObject& ExpandoObject::set(std::u16string_view name, Variant value) {
  Member& m = ensure(name);
  m.value = Variant(value.deref());
  m.getter = nullptr;
  m.setter = nullptr;
  m.body = nullptr;
  return *this;
}

ExpandoObject& ExpandoObject::define(std::u16string_view name, Getter get, Setter put) {
  Member& m = ensure(name);
  m.value = Variant();
  m.getter = get ? std::move(get) : Getter([] { return Variant(); });
  m.setter = std::move(put);
  m.body = nullptr;
  return *this;
}

ExpandoObject& ExpandoObject::method(std::u16string_view name, Method body) {
  Member& m = ensure(name);
  m.value = Variant();
  m.getter = nullptr;
  m.setter = nullptr;
  m.body = body ? std::move(body) : Method([](std::vector<Variant>&) { return Variant(); });
  return *this;
}

void ExpandoObject::remove(std::u16string_view name) {
  std::erase_if(members_, [&](const Member& m) { return names_equal(m.name, name); });
}

bool ExpandoObject::has(std::u16string_view name) const { return find(name) != nullptr; }

Variant ExpandoObject::get(std::u16string_view name) const {
  const Member* m = find(name);
  if (!m || m->body) raise_error(kErrNotSupported);
  if (m->getter) return m->getter();
  return m->value;
}

std::optional<DISPID> ExpandoObject::GetIDsOfNames(std::u16string_view name) {
  if (const Member* m = find(name)) return m->id;
  if (!expandable_) return std::nullopt;
  return ensure(name).id;
}

Variant ExpandoObject::Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) {
  std::size_t index = 0;
  while (index < members_.size() && members_[index].id != id) ++index;
  if (index == members_.size()) raise_error(kErrNotSupported);
  calls_.push_back(Call{members_[index].name, kind, values_of(args)});

  // Client code may redefine members while it runs, so work on copies.
  const Member m = members_[index];
  const bool reading = (kind & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
  const bool writing = (kind & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  try {
    if (m.body) {
      if (!reading) raise_error(kErrNotSupported);
      return m.body(args);
    }
    if (writing) {
      if (args.empty()) raise_error(kErrWrongArgumentCount);
      const Variant& value = args.back().deref();
      const DispatchKind put_kind = (kind & DISPATCH_PROPERTYPUTREF) ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
      if (put_kind == DISPATCH_PROPERTYPUTREF && value.type() != VarType::Object) raise_error(kErrTypeMismatch);
      if (m.getter) {
        if (!m.setter) raise_error(kErrNotSupported);
        m.setter(value, put_kind);
      } else {
        members_[index].value = Variant(value);
      }
      return {};
    }
    if (!reading) raise_error(kErrNotSupported);
    if (!args.empty()) raise_error(kErrWrongArgumentCount);
    return m.getter ? m.getter() : m.value;
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    raise_error(kErrAutomation, e.what());
  }
}

}  // namespace win
