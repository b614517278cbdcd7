#include "frame/automation_object.h"

#include "frame/runtime_error.h"

namespace volumar {

std::atomic<long> AutomationObject::live_{0};

AutomationObject::AutomationObject(const ClassInfo& info) : info_(info) { ++live_; }
AutomationObject::~AutomationObject() { --live_; }
long AutomationObject::live_objects() { return live_.load(); }

std::u16string AutomationObject::type_name() const { return S(info_.name); }

namespace {

// names_equal of an ASCII member name and a caller's name, without
// widening the member name first: lookups run once per script step.
bool member_name_is(const char* ascii, std::u16string_view name) {
  std::size_t i = 0;
  for (; ascii[i] != '\0'; ++i) {
    if (i == name.size()) return false;
    auto x = static_cast<char16_t>(ascii[i]);  // as S() widens it
    char16_t y = name[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return i == name.size();
}

}  // namespace

std::optional<win::DISPID> AutomationObject::GetIDsOfNames(std::u16string_view name) {
  for (const auto& m : info_.members())
    if (member_name_is(m.name, name)) return m.id;
  return std::nullopt;
}

const MemberInfo* find_member(const std::vector<MemberInfo>& members, win::DISPID id, win::DispatchKind kind) {
  // Callers ask for a get or a method with both flags set, as late-bound
  // clients do, so either kind answers either request.
  for (const auto& m : members) {
    if (m.id != id) continue;
    switch (m.kind) {
      case MemberKind::Get:
      case MemberKind::Method:
        if (kind & (win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET)) return &m;
        break;
      case MemberKind::Put:
        if (kind & win::DISPATCH_PROPERTYPUT) return &m;
        break;
      case MemberKind::PutRef:
        if (kind & win::DISPATCH_PROPERTYPUTREF) return &m;
        break;
    }
  }
  return nullptr;
}

Variant AutomationObject::Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>& args) {
  const MemberInfo* m = find_member(info_.members(), id, kind);
  if (!m) raise_error(win::kErrNotSupported);
  if (args.size() > m->params.size()) raise_error(win::kErrWrongArgumentCount);
  return m->invoke(*this, args, *m);
}

}  // namespace volumar
