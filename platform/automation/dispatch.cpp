#include "platform/automation/dispatch.h"

#include <cctype>

#include "platform/automation/automation_error.h"

namespace win {

bool names_equal(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool names_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

DISPID dispatch_id(Object& object, std::u16string_view name) {
  auto id = object.GetIDsOfNames(name);
  if (!id) {
    std::string ascii(name.begin(), name.end());
    raise_error(kErrNotSupported, "Object doesn't support this property or method: " + ascii);
  }
  return *id;
}

Variant invoke_by_name(const ObjectRef& object, std::u16string_view name, DispatchKind kind,
                       std::vector<Variant>& args) {
  if (!object) raise_error(kErrObjectNotSet);
  return object->Invoke(dispatch_id(*object, name), kind, args);
}

Variant call_method(const ObjectRef& object, std::u16string_view name, std::vector<Variant> args) {
  return invoke_by_name(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Variant get_property(const ObjectRef& object, std::u16string_view name, std::vector<Variant> args) {
  return invoke_by_name(object, name, DISPATCH_PROPERTYGET, args);
}

void put_property(const ObjectRef& object, std::u16string_view name, Variant value) {
  std::vector<Variant> args{std::move(value)};
  invoke_by_name(object, name, DISPATCH_PROPERTYPUT, args);
}

void putref_property(const ObjectRef& object, std::u16string_view name, ObjectRef value) {
  std::vector<Variant> args{Variant(std::move(value))};
  invoke_by_name(object, name, DISPATCH_PROPERTYPUTREF, args);
}

}  // namespace win
