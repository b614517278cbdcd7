// IDispatch: every automation object answers names with dispatch ids and
// runs members by id. Arguments travel in call order (first argument
// first); a put's new value is the last argument. A by-reference argument
// is a Variant::ref to the caller's variable, or a plain value in the
// vector, which the callee then updates in place.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/variant.h"

namespace win {

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_NEWENUM = -4;

using DispatchKind = std::uint16_t;
inline constexpr DispatchKind DISPATCH_METHOD = 1;
inline constexpr DispatchKind DISPATCH_PROPERTYGET = 2;
inline constexpr DispatchKind DISPATCH_PROPERTYPUT = 4;
inline constexpr DispatchKind DISPATCH_PROPERTYPUTREF = 8;

class Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  // Case-insensitive; nullopt for a name the object does not have.
  virtual std::optional<DISPID> GetIDsOfNames(std::u16string_view name) = 0;
  // Unknown ids and kinds raise 438; failures raise AutomationError.
  virtual Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) = 0;
  // TypeName() of the object.
  virtual std::u16string type_name() const = 0;
};

// Late binding by name, as a script or a client without the type library calls.
DISPID dispatch_id(Object& object, std::u16string_view name);  // raises 438
Variant invoke_by_name(const ObjectRef& object, std::u16string_view name, DispatchKind kind,
                       std::vector<Variant>& args);
Variant call_method(const ObjectRef& object, std::u16string_view name, std::vector<Variant> args = {});
Variant get_property(const ObjectRef& object, std::u16string_view name, std::vector<Variant> args = {});
void put_property(const ObjectRef& object, std::u16string_view name, Variant value);
void putref_property(const ObjectRef& object, std::u16string_view name, ObjectRef value);

// ASCII case-insensitive comparison, the runtime's rule for names and keys.
bool names_equal(std::u16string_view a, std::u16string_view b);
bool names_equal(std::string_view a, std::string_view b);

}  // namespace win
