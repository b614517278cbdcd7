#include "rawio/word_functions.h"

#include "frame/checked_math.h"

namespace volumar {

Integer MakeWord(Byte low, Byte high) { return static_cast<Integer>(static_cast<std::uint16_t>(high * 256 + low)); }

Integer UnsignedToInteger(Long& value) { return CInt(value > 32767 ? value - 65536 : value); }

Long IntegerToUnsigned(Integer& value) { return value < 0 ? Long{value} + 65536 : Long{value}; }

Long MakeFat12Pair(Long low, Integer high) { return (Long{high} & 0xFFF) * 4096 + (low & 0xFFF); }

}  // namespace volumar
