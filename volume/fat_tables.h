// Loading the first FAT copy into the entry table of the volume's width,
// and measuring a FAT32 root directory by its cluster chain.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// Reads FAT copy 1 in one piece into DriveInfo().FatBytes and the table of
// the volume's width; on FAT32 also sets RootDirectoryLength.
void LoadFatTables(const String& root_path);

// Fills Fat12Table from FatBytes.
void UnpackFat12();

// Sectors of the chain from first_cluster, minus one. Reads only the
// in-memory table; yields to the message loop once per cluster. A chain
// that loops is cut after as many steps as the table has entries.
Long WalkClusterChain(Long first_cluster);

// The last cluster number the volume has (clusters past it exist only in
// the FAT's padding); 1 when the geometry holds no cluster.
Long LastVolumeCluster();

}  // namespace volumar
