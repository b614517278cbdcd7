// The one FAT entry codec for the three widths: the entry values that mean
// free, reserved, bad and end of chain, where an entry lies in a FAT copy,
// and reading and writing one entry in a copy's bytes (FAT12's shared
// nibbles included).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "format/boot_sector.h"

namespace ondisk {

inline constexpr std::uint32_t kFatFree = 0;
// The largest value of each width; the state ranges sit just below it.
inline constexpr std::uint32_t kFat12Max = 0xFFF;
inline constexpr std::uint32_t kFat16Max = 0xFFFF;
inline constexpr std::uint32_t kFat32Max = 0x0FFFFFFF;  // the top four bits are not part of the entry
inline constexpr std::uint32_t kFat32Bad = 0x0FFFFFF7;  // bad, in the 32-bit form the library passes

std::uint32_t entry_max(FatType type);
inline std::uint32_t bad_entry(FatType type) { return entry_max(type) - 8; }
inline std::uint32_t end_of_chain(FatType type) { return entry_max(type); }
// The first end-of-chain value: any entry at or above it ends a chain.
inline std::uint32_t end_of_chain_min(FatType type) { return entry_max(type) - 7; }
inline std::uint32_t reserved_min(FatType type) { return entry_max(type) - 0xF; }
inline std::uint32_t reserved_max(FatType type) { return entry_max(type) - 9; }
unsigned entry_bits(FatType type);  // 12, 16, 32

enum class EntryState { Free, Reserved, Bad, EndOfChain, Link };
// FAT32 entries are compared as whole 32-bit values: 0xFFFFFFF7 is a link,
// not bad. Other widths look at their own bits only.
EntryState entry_state(FatType type, std::uint32_t entry);

// The values of one state but Link, as a closed range of the entry's own
// bits (entry_mask: all 32 for FAT32): v is in the state exactly when
// (v & entry_mask) lies in [first, last]. A scan tests whole tables this way.
struct EntryRange {
  std::uint32_t first, last;
};
EntryRange state_range(FatType type, EntryState state);
inline std::uint32_t entry_mask(FatType type) { return type == FatType::Fat32 ? 0xFFFFFFFF : entry_max(type); }

// Byte offset within a FAT copy of the first byte that holds entry
// `cluster`; FAT12 entries start at cluster * 3 / 2 and span two bytes.
std::uint64_t entry_byte_offset(FatType type, std::uint64_t cluster);
// Bytes that hold one entry: 2 for FAT12 (sharing nibbles), 2, 4.
unsigned entry_span(FatType type);
// Entries a copy of `bytes` bytes holds whole.
std::uint64_t entries_in(FatType type, std::uint64_t bytes);

// Reads and writes one entry in the bytes that hold it: `at` points at the
// byte entry_byte_offset(type, cluster) of the copy, and entry_span(type)
// bytes from there are the entry's.
std::uint32_t decode_entry(FatType type, std::uint64_t cluster, const std::uint8_t* at);
void encode_entry(FatType type, std::uint64_t cluster, std::uint8_t* at, std::uint32_t value);

// The same on a whole copy's bytes (the span must hold the entry).
// Writing a FAT12 entry keeps its neighbour's nibble; FAT32 keeps all 32
// bits as given.
std::uint32_t get_entry(FatType type, std::span<const std::uint8_t> fat, std::uint64_t cluster);
void put_entry(FatType type, std::span<std::uint8_t> fat, std::uint64_t cluster, std::uint32_t value);

}  // namespace ondisk
