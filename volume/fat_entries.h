// Finding FAT entries by state and changing one entry in memory and in
// every FAT copy on the volume.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// The first cluster after `start` whose entry is in `state` (free,
// reserved, bad, end of chain), up to the volume's last cluster; 0 if none.
Long FindFatEntry(Long start, Long state);

// Gives `cluster` the entry `value` (in its FAT32 form) in the table and in
// every FAT copy. True only when every copy was written.
Boolean SetFatEntry(const String& drive, Long cluster, Long value);

}  // namespace volumar
