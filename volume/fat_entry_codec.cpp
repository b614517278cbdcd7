#include "volume/fat_entry_codec.h"

#include <cmath>

#include "frame/checked_math.h"

namespace volumar {

std::optional<FatWidth> fat_width(const String& fs_type) {
  if (fs_type == u"FAT12") return FatWidth::Fat12;
  if (fs_type == u"FAT16") return FatWidth::Fat16;
  if (fs_type == u"FAT32") return FatWidth::Fat32;
  return std::nullopt;
}

bool entry_in_state(FatWidth width, Long entry, Long state) {
  // The state ranges are the same below the width's top: free 0,
  // reserved top-0xF..top-9, bad top-8, end of chain top-7..top.
  const std::uint32_t top = width == FatWidth::Fat12 ? 0xFFFu : width == FatWidth::Fat16 ? 0xFFFFu : 0x0FFFFFFFu;
  const std::uint32_t v = width == FatWidth::Fat16 ? static_cast<std::uint16_t>(entry) : static_cast<std::uint32_t>(entry);
  switch (state) {
    case kFatFree: return v == 0;
    case kFatReserved: return v >= top - 0xF && v <= top - 9;
    case kFatBad: return v == top - 8;
    case kFatEndOfChain: return v >= top - 7 && v <= top;
    default: return false;
  }
}

Long entry_offset(FatWidth width, Long cluster) {
  switch (width) {
    case FatWidth::Fat12: return checked_mul<Long>(cluster - (cluster & 1), 3) / 2;
    case FatWidth::Fat16: return checked_mul<Long>(cluster, 2);
    case FatWidth::Fat32: return checked_mul<Long>(cluster, 4);
  }
  return 0;
}

std::size_t table_entries(FatWidth width, std::size_t n) {
  switch (width) {
    case FatWidth::Fat12: return static_cast<std::size_t>(std::nearbyint(static_cast<double>(n) / 1.5));
    case FatWidth::Fat16: return n / 2;
    case FatWidth::Fat32: return n / 4;
  }
  return 0;
}

void unpack_fat12(const win::Bytes& fat, std::vector<Integer>& table) {
  for (std::size_t e = 0; e < table.size(); ++e) {
    std::size_t at = e / 2 * 3;
    if (e % 2 == 0) {
      if (at + 1 >= fat.size()) break;
      table[e] = static_cast<Integer>(fat[at] | ((fat[at + 1] & 0x0F) << 8));
    } else {
      if (at + 2 >= fat.size()) break;
      table[e] = static_cast<Integer>((fat[at + 1] >> 4) | (fat[at + 2] << 4));
    }
  }
}

}  // namespace volumar
