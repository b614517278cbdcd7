// Loading the first FAT copy into the entry table of the volume's width,
// and measuring a FAT32 root directory by its cluster chain.
#pragma once
#include <cstdint>
#include <optional>

#include "frame/value_types.h"

namespace volumar {

// At selection: checks that FAT copy 1 ends inside the volume and, on
// FAT32, measures the root directory (RootDirectoryLength) by its chain,
// reading only the FAT sectors the chain passes through. The tables are
// loaded from `root_path` when a member first needs them.
void PrepareFatTables(const String& root_path);

// Loads the tables now if the selected volume's are still to be read. A
// copy that cannot be read whole raises the error selection would have
// raised, and the tables stay unread.
void EnsureFatTables();

// Before a write to bytes [first, end) of FAT copy 1: the tables are loaded
// if still to be read, and keep what the copy holds now, whatever the write
// changes on the volume.
void HoldFatTablesBeforeWrite(std::uint64_t first, std::uint64_t end);

// Reads FAT copy 1 in one piece into the table of the volume's width (and,
// on FAT12, DriveInfo().FatBytes). A copy that the volume does not deliver
// whole raises an error: no table is ever built from bytes that were not
// read.
void LoadFatTables(const String& root_path);

// Fills Fat12Table from FatBytes.
void UnpackFat12();

// Sectors of the chain from first_cluster, minus one. Reads the in-memory
// table, or FAT copy 1 itself while the table is still to be loaded; yields to the message loop once per cluster. The
// walk ends at an end-of-chain mark, and is cut (Geometry.root_chain_cut) at a bad entry, at an entry that names no
// cluster of the volume, and where a chain that loops would reach past the end of the volume.
Long WalkClusterChain(Long first_cluster);

// The entry of `cluster` in the in-memory table (loaded first if it is
// still to be read), as an unsigned value of its width; nothing when the volume has no table or the table no entry.
std::optional<std::uint32_t> FatEntryValue(Long cluster);

// The last cluster number the volume has (clusters past it exist only in
// the FAT's padding); 1 when the geometry holds no cluster.
Long LastVolumeCluster();

}  // namespace volumar
