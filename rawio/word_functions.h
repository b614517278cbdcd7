// The small word functions of the raw-access module: building 16-bit
// register values and converting FAT entry patterns.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// The signed 16-bit value with the bit pattern high * 256 + low.
Integer MakeWord(Byte low, Byte high);
// 0..65535 to the signed 16-bit value with the same pattern; overflow outside.
Integer UnsignedToInteger(Long& value);
Long IntegerToUnsigned(Integer& value);
// The 24-bit value of the three bytes that hold two neighbouring FAT12 entries.
Long MakeFat12Pair(Long low, Integer high);

}  // namespace volumar
