#include "platform/automation/variant_conversion.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/automation/automation_error.h"

namespace win {
namespace {

// Parses the runtime's numeric text: optional spaces and sign, decimal
// digits with a fraction or exponent, or &H / &O prefixed integers.
bool parse_number(const std::u16string& text, double& out) {
  std::string s;
  for (char16_t c : text) {
    if (c > 0x7F) return false;
    s += static_cast<char>(c);
  }
  std::size_t b = s.find_first_not_of(" \t");
  std::size_t e = s.find_last_not_of(" \t");
  if (b == std::string::npos) return false;
  s = s.substr(b, e - b + 1);
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s.c_str() + 2, &end, base);
    if (*end != '\0' || v > 0xFFFFFFFFull) return false;
    // &H literals are 16- or 32-bit two's complement patterns.
    if (v <= 0xFFFF && s.size() - 2 <= 4)
      out = static_cast<std::int16_t>(v);
    else
      out = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
  }
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end && *end == '\0' && std::isfinite(out);
}

double numeric_value(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return 0;
    case VarType::Integer: return v.integer_value();
    case VarType::Long: return v.long_value();
    case VarType::Byte: return v.byte_value();
    case VarType::Boolean: return v.bool_value() ? -1 : 0;
    case VarType::Double: return v.double_value();
    case VarType::String: {
      const auto& s = v.string_value();
      if (s == u"True" || s == u"true" || s == u"TRUE") return -1;
      if (s == u"False" || s == u"false" || s == u"FALSE") return 0;
      double d;
      if (parse_number(s, d)) return d;
      raise_error(kErrTypeMismatch);
    }
    default: raise_error(kErrTypeMismatch);
  }
}

template <class T>
T to_integral(const Variant& v) {
  double d = round_half_even(numeric_value(v));
  if (d < static_cast<double>(std::numeric_limits<T>::min()) || d > static_cast<double>(std::numeric_limits<T>::max()))
    raise_error(kErrOverflow);
  return static_cast<T>(d);
}

}  // namespace

double round_half_even(double value) { return std::nearbyint(value); }

std::int32_t to_long(const Variant& v) {
  if (v.type() == VarType::Long) return v.long_value();
  return to_integral<std::int32_t>(v);
}
std::int16_t to_integer(const Variant& v) {
  if (v.type() == VarType::Integer) return v.integer_value();
  return to_integral<std::int16_t>(v);
}
std::uint8_t to_byte(const Variant& v) {
  if (v.type() == VarType::Byte) return v.byte_value();
  return to_integral<std::uint8_t>(v);
}
bool to_bool(const Variant& v) {
  if (v.type() == VarType::Boolean) return v.bool_value();
  return numeric_value(v) != 0;
}
double to_double(const Variant& v) { return numeric_value(v); }

std::u16string number_text(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;  // %G already writes "1E+20" and "1E-05" as the runtime does
  return std::u16string(s.begin(), s.end());
}

std::u16string to_string(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty: return {};
    case VarType::String: return v.string_value();
    case VarType::Boolean: return v.bool_value() ? u"True" : u"False";
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Double: return number_text(numeric_value(v));
    default: raise_error(kErrTypeMismatch);
  }
}

ObjectRef to_object(const Variant& v) {
  if (v.type() != VarType::Object) raise_error(kErrTypeMismatch);
  return v.object_value();
}

}  // namespace win
