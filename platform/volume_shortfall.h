// Reads of a raw volume or physical disk that asked for bytes past its end.
// Such a read delivers what the volume holds and nothing more; a caller
// that pads the rest (as the sector reader does, with zeros) has no data
// there, and a host can tell by this count that it must not show any.
#pragma once
#include <cstdint>

namespace win {

std::uint64_t volume_shortfalls();
void count_volume_shortfall();

}  // namespace win
