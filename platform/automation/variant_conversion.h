// Conversions between variant values with the automation runtime's rules:
// numbers round to nearest with halves to even, results outside the target
// type raise Overflow (6), impossible conversions raise Type mismatch (13).
#pragma once
#include <cstdint>
#include <string>

#include "platform/automation/variant.h"

namespace win {

double round_half_even(double value);

std::int32_t to_long(const Variant& v);
std::int16_t to_integer(const Variant& v);
std::uint8_t to_byte(const Variant& v);
bool to_bool(const Variant& v);
double to_double(const Variant& v);
std::u16string to_string(const Variant& v);
// Nothing for Empty/missing is not allowed: only Object values convert.
ObjectRef to_object(const Variant& v);

// The text the runtime gives a number ("1.5", "-3", "1E+20").
std::u16string number_text(double value);

}  // namespace win
