// Integer and Long arithmetic as the runtime does it: a result outside the
// type raises Overflow (6) instead of wrapping; division by zero raises 11.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "frame/runtime_error.h"
#include "frame/value_types.h"

namespace volumar {

template <class T>
concept RuntimeInteger = std::is_same_v<T, Integer> || std::is_same_v<T, Long> || std::is_same_v<T, Byte>;

template <RuntimeInteger T>
T checked_add(T a, T b) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) raise_error(win::kErrOverflow);
  return r;
}

template <RuntimeInteger T>
T checked_sub(T a, T b) {
  T r;
  if (__builtin_sub_overflow(a, b, &r)) raise_error(win::kErrOverflow);
  return r;
}

template <RuntimeInteger T>
T checked_mul(T a, T b) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) raise_error(win::kErrOverflow);
  return r;
}

// The runtime's integer division (\): truncates toward zero.
template <RuntimeInteger T>
T checked_idiv(T a, T b) {
  if (b == 0) raise_error(win::kErrDivisionByZero);
  if constexpr (std::is_signed_v<T>)
    if (a == std::numeric_limits<T>::min() && b == -1) raise_error(win::kErrOverflow);
  return static_cast<T>(a / b);
}

template <RuntimeInteger T>
T checked_mod(T a, T b) {
  if (b == 0) raise_error(win::kErrDivisionByZero);
  if constexpr (std::is_signed_v<T>)
    if (b == -1) return 0;
  return static_cast<T>(a % b);
}

// Conversion into a narrower type (CInt, CLng, CByte): whole numbers must
// fit; doubles round to nearest with halves to even first.
template <RuntimeInteger T, class From>
T convert_to(From value) {
  if constexpr (std::is_floating_point_v<From>) {
    if (!std::isfinite(value)) raise_error(win::kErrOverflow);
    double r = std::nearbyint(value);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
      raise_error(win::kErrOverflow);
    return static_cast<T>(r);
  } else {
    if (!std::in_range<T>(value)) raise_error(win::kErrOverflow);
    return static_cast<T>(value);
  }
}

inline Integer CInt(auto value) { return convert_to<Integer>(value); }
inline Long CLng(auto value) { return convert_to<Long>(value); }
inline Byte CByte(auto value) { return convert_to<Byte>(value); }

}  // namespace volumar
