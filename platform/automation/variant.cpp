#include "platform/automation/variant.h"

namespace win {

Variant Variant::missing() {
  Variant v;
  v.value_ = MissingValue{};
  return v;
}

Variant Variant::ref(Variant& target) {
  Variant v;
  v.value_ = &target.deref();
  return v;
}

Variant& Variant::deref() { return is_ref() ? *std::get<Variant*>(value_) : *this; }
const Variant& Variant::deref() const { return is_ref() ? *std::get<Variant*>(value_) : *this; }

VarType Variant::type() const {
  const Storage& s = deref().value_;
  switch (s.index()) {
    case 0: return VarType::Empty;
    case 1: return VarType::Null;
    case 2: return VarType::Integer;
    case 3: return VarType::Long;
    case 4: return VarType::Byte;
    case 5: return VarType::Boolean;
    case 6: return VarType::Double;
    case 7: return VarType::String;
    case 8: return VarType::Object;
    case 9: return VarType::ByteArray;
    default: return VarType::Error;
  }
}

bool Variant::operator==(const Variant& other) const { return deref().value_ == other.deref().value_; }

}  // namespace win
