// Loading the first FAT copy into the entry table of the volume's width,
// and measuring a FAT32 root directory by its cluster chain.
#pragma once
#include <cstdint>
#include <optional>

#include "frame/value_types.h"

namespace volumar {

// Reads FAT copy 1 in one piece into DriveInfo().FatBytes and the table of
// the volume's width; on FAT32 also sets RootDirectoryLength. A copy that
// the volume does not deliver whole raises an error: no table is ever
// built from bytes that were not read.
void LoadFatTables(const String& root_path);

// Fills Fat12Table from FatBytes.
void UnpackFat12();

// Sectors of the chain from first_cluster, minus one. Reads only the
// in-memory table; yields to the message loop once per cluster. The walk
// ends at an end-of-chain mark, and is cut (Geometry.root_chain_cut) at a
// bad entry, at an entry that names no cluster of the volume, and where a
// chain that loops would reach past the end of the volume.
Long WalkClusterChain(Long first_cluster);

// The entry of `cluster` in the in-memory table, as an unsigned value of
// its width; nothing when the volume has no table or the table no entry.
std::optional<std::uint32_t> FatEntryValue(Long cluster);

// The last cluster number the volume has (clusters past it exist only in
// the FAT's padding); 1 when the geometry holds no cluster.
Long LastVolumeCluster();

}  // namespace volumar
