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

std::optional<ondisk::EntryState> searched_state(Long state) {
  switch (state) {
    case kFatFree: return ondisk::EntryState::Free;
    case kFatReserved: return ondisk::EntryState::Reserved;
    case kFatBad: return ondisk::EntryState::Bad;
    case kFatEndOfChain: return ondisk::EntryState::EndOfChain;
    default: return std::nullopt;
  }
}

bool entry_in_state(FatWidth width, Long entry, Long state) {
  const auto wanted = searched_state(state);
  return wanted && ondisk::entry_state(width, static_cast<std::uint32_t>(entry)) == *wanted;
}

Long entry_offset(FatWidth width, Long cluster) {
  const Long pair_start = width == FatWidth::Fat12 ? cluster - (cluster & 1) : cluster;
  return CLng(ondisk::entry_byte_offset(width, static_cast<std::uint64_t>(pair_start)));
}

std::size_t table_entries(FatWidth width, std::size_t n) {
  if (width == FatWidth::Fat12) return static_cast<std::size_t>(std::nearbyint(static_cast<double>(n) / 1.5));
  return static_cast<std::size_t>(ondisk::entries_in(width, n));
}

void unpack_fat12(const win::Bytes& fat, std::span<Integer> table) {
  for (std::size_t e = 0; e < table.size(); ++e) {
    if (ondisk::entry_byte_offset(FatWidth::Fat12, e) + 1 >= fat.size()) break;
    table[e] = static_cast<Integer>(ondisk::get_entry(FatWidth::Fat12, fat, e));
  }
}

}  // namespace volumar
