// The one FAT entry codec for the three widths: where an entry lies in a
// FAT copy, the bytes that hold it, how a copy decodes into a table, and
// which state an entry value is in.
#pragma once
#include <optional>
#include <vector>

#include "frame/value_types.h"

namespace volumar {

enum class FatWidth { Fat12, Fat16, Fat32 };

// "FAT12", "FAT16", "FAT32", compared exactly; nullopt for any other name.
std::optional<FatWidth> fat_width(const String& fs_type);

enum FatEntryState : Long { kFatFree = 0, kFatReserved = 1, kFatBad = 2, kFatEndOfChain = 3 };

// Whether an entry value is in the state. FAT32 entries compare as whole
// 32-bit values, so 0xFFFFFFF7 is not bad.
bool entry_in_state(FatWidth width, Long entry, Long state);

// Byte offset within a copy of the bytes that hold entry `cluster`: for
// FAT12 the start of its 3-byte pair.
Long entry_offset(FatWidth width, Long cluster);

// Decodes every 12-bit entry whose bits lie wholly in the copy.
void unpack_fat12(const win::Bytes& fat, std::vector<Integer>& table);

// Entries that a copy of n bytes holds.
std::size_t table_entries(FatWidth width, std::size_t fat_bytes);

}  // namespace volumar
