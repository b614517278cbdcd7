// The reversible letter-and-digit cipher: each ASCII digit and letter is
// replaced by one fixed character from the upper half of the ANSI code page;
// every other character stays as it is.
#pragma once
#include <array>
#include <cstdint>

#include "frame/value_types.h"

namespace volumar::cipher {

// The code bytes of "0"-"9", "A"-"Z", "a"-"z", in that order.
const std::array<std::uint8_t, 62>& substitution_codes();

String GetCrypEncChar(const String& ch);
String GetCrypDecChar(const String& ch);

// The position counter is an Integer: inputs of 32,767 characters or more
// raise Overflow and return nothing.
String GetCrypEncString(const String& sInputString);
String GetCrypDecString(const String& sInputString);

}  // namespace volumar::cipher
