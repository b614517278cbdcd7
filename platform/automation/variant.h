// VARIANT: a tagged automation value. It holds Empty, Null, the scalar
// types, String, Object, byte arrays, the "missing argument" marker, or a
// reference to a caller's variable (how by-reference arguments travel).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace win {

class Object;
using ObjectRef = std::shared_ptr<Object>;
using Bytes = std::vector<std::uint8_t>;

// VARTYPE codes.
enum class VarType : std::uint16_t {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  String = 8,
  Object = 9,
  Error = 10,
  Boolean = 11,
  Variant = 12,
  Byte = 17,
  ByteArray = 0x2011,  // VT_ARRAY | VT_UI1
};

// DISP_E_PARAMNOTFOUND, the code of an omitted argument.
inline constexpr std::int32_t kMissingArgumentCode = static_cast<std::int32_t>(0x80020004u);

class Variant {
 public:
  struct NullValue {
    bool operator==(const NullValue&) const = default;
  };
  struct MissingValue {
    bool operator==(const MissingValue&) const = default;
  };

  Variant() = default;
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(std::uint8_t v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(std::u16string v) : value_(std::move(v)) {}
  Variant(const char16_t* v) : value_(std::u16string(v)) {}
  Variant(ObjectRef v) : value_(std::move(v)) {}
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Variant(std::shared_ptr<T> v) : value_(ObjectRef(std::move(v))) {}
  Variant(Bytes v) : value_(std::move(v)) {}
  Variant(NullValue v) : value_(v) {}

  static Variant null() { return Variant(NullValue{}); }
  static Variant missing();
  // A by-reference argument: the callee reads and writes `target`.
  static Variant ref(Variant& target);

  // The type of the value, looking through a reference.
  VarType type() const;
  bool is_ref() const { return std::holds_alternative<Variant*>(value_); }
  bool is_empty() const { return type() == VarType::Empty; }
  bool is_missing() const { return std::holds_alternative<MissingValue>(deref().value_); }
  bool is_object() const { return type() == VarType::Object; }

  Variant& deref();
  const Variant& deref() const;

  // Direct access; the caller has checked type().
  std::int16_t integer_value() const { return std::get<std::int16_t>(deref().value_); }
  std::int32_t long_value() const { return std::get<std::int32_t>(deref().value_); }
  std::uint8_t byte_value() const { return std::get<std::uint8_t>(deref().value_); }
  bool bool_value() const { return std::get<bool>(deref().value_); }
  double double_value() const { return std::get<double>(deref().value_); }
  const std::u16string& string_value() const { return std::get<std::u16string>(deref().value_); }
  const ObjectRef& object_value() const { return std::get<ObjectRef>(deref().value_); }
  const Bytes& bytes_value() const { return std::get<Bytes>(deref().value_); }

  // Same type and value; objects compare by identity.
  bool operator==(const Variant& other) const;

 private:
  using Storage = std::variant<std::monostate, NullValue, std::int16_t, std::int32_t, std::uint8_t, bool, double,
                               std::u16string, ObjectRef, Bytes, MissingValue, Variant*>;
  Storage value_;
};

}  // namespace win
