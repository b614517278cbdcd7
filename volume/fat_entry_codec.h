// The library's side of the FAT entry codec: which width a type name
// selects, the entry states as the search names them, and how a FAT copy
// decodes into the library's entry tables. The bytes themselves are the
// on-disk codec's.
#pragma once
#include <optional>
#include <span>
#include <vector>

#include "format/fat_entry.h"
#include "frame/value_types.h"

namespace volumar {

using FatWidth = ondisk::FatType;

// "FAT12", "FAT16", "FAT32", compared exactly; nullopt for any other name.
std::optional<FatWidth> fat_width(const String& fs_type);

enum FatEntryState : Long { kFatFree = 0, kFatReserved = 1, kFatBad = 2, kFatEndOfChain = 3 };

// The on-disk state a search names; nothing for a number that names none.
std::optional<ondisk::EntryState> searched_state(Long state);

// Whether an entry value (as a table holds it) is in the state. FAT32
// entries compare as whole 32-bit values, so 0xFFFFFFF7 is not bad.
bool entry_in_state(FatWidth width, Long entry, Long state);

// Byte offset within a copy of the bytes that hold entry `cluster`: for
// FAT12 the start of its 3-byte pair.
Long entry_offset(FatWidth width, Long cluster);

// Decodes every 12-bit entry whose bits lie wholly in the copy.
void unpack_fat12(const win::Bytes& fat, std::span<Integer> table);

// Entries of the table for a copy of n bytes (FAT12: n / 1.5 rounded).
std::size_t table_entries(FatWidth width, std::size_t fat_bytes);

}  // namespace volumar
