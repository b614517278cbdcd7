// One switch over what a Variant holds, for hosts that carry automation
// values into another runtime's values (a language binding, a COM server):
// each writes a visitor and never switches on the type itself.
#pragma once
#include <variant>

#include "platform/automation/variant.h"

namespace win {

// Calls f with the value, looking through a reference: std::monostate for
// Empty, Variant::NullValue, std::int16_t (Integer), std::int32_t (Long),
// std::uint8_t (Byte), bool, double, std::u16string, ObjectRef, Bytes, or
// Variant::MissingValue for an omitted argument.
template <class Visitor>
decltype(auto) visit(const Variant& v, Visitor&& f) {
  switch (v.type()) {
    case VarType::Empty: return f(std::monostate{});
    case VarType::Null: return f(Variant::NullValue{});
    case VarType::Integer: return f(v.integer_value());
    case VarType::Long: return f(v.long_value());
    case VarType::Byte: return f(v.byte_value());
    case VarType::Boolean: return f(v.bool_value());
    case VarType::Double: return f(v.double_value());
    case VarType::String: return f(v.string_value());
    case VarType::Object: return f(v.object_value());
    case VarType::ByteArray: return f(v.bytes_value());
    default: return f(Variant::MissingValue{});
  }
}

}  // namespace win
