// Finding FAT entries by state and changing one entry in memory and in
// every FAT copy on the volume.
#pragma once
#include <cstdint>
#include <optional>

#include "frame/value_types.h"

namespace volumar {

// The first cluster after `start` whose entry is in `state` (free,
// reserved, bad, end of chain), up to the volume's last cluster; 0 if none.
Long FindFatEntry(Long start, Long state);

// How the entries of the volume's clusters (2 to the last) divide: free,
// bad, and the rest, which are in use (links, ends of chain, reserved).
struct FatEntryCounts {
  std::uint64_t clusters = 0, free = 0, bad = 0;
  std::uint64_t used() const { return clusters - free - bad; }
};
// Nothing when the volume has no FAT table of a known width.
std::optional<FatEntryCounts> CountFatEntries();

// Gives `cluster` the entry `value` (in its FAT32 form) in the table and in
// every FAT copy. True only when every copy was written.
Boolean SetFatEntry(const String& drive, Long cluster, Long value);

}  // namespace volumar
