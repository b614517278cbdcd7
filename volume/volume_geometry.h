// The layout of the selected volume as one value, computed once from one
// decoding of its boot sector: where each FAT copy, the root directory and
// the data area lie, which clusters exist, and the conversions between
// clusters and sectors. Every host asks this value; none derives a cluster
// or a sector number itself.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/boot_sector.h"

namespace volumar {

struct VolumeGeometry {
  // The FAT type the layout and the cluster count decide; none for a boot
  // sector that decides none, which is never written.
  std::optional<ondisk::FatType> type;
  std::uint32_t bytes_per_sector = 0;  // a stored 0 is 512
  std::uint32_t sectors_per_cluster = 0;
  std::uint32_t reserved_sectors = 0;
  std::uint32_t number_of_fats = 0;
  std::uint64_t sectors_per_fat = 0;
  std::uint64_t total_sectors = 0;
  std::uint32_t hidden_sectors = 0;
  std::uint64_t root_directory_start = 0;
  // Sectors of the root directory: FAT12/16 the fixed area; FAT32 its chain
  // (once measured), 0 before.
  std::uint64_t root_directory_sectors = 0;
  std::uint32_t root_cluster = 0;  // FAT32
  // The root chain ended at a damaged entry or at the volume's bound rather
  // than at an end-of-chain mark.
  bool root_chain_cut = false;
  std::uint64_t first_data_sector = 0;  // the first sector of cluster 2
  std::uint64_t cluster_count = 0;
  std::uint32_t fsinfo_sector = 0;       // FAT32; 0 when the volume keeps none
  std::uint32_t backup_boot_sector = 0;  // FAT32; 0 when the volume keeps none
  // The boot sector's type text when it names another type than the one
  // the cluster count decides, or is blank.
  std::optional<std::string> type_text_disagrees;
  // Why the boot sector does not describe a FAT volume, field by field.
  std::vector<std::string> problems;

  static constexpr std::uint64_t kFirstDataCluster = 2;
  std::uint64_t last_cluster() const { return cluster_count + kFirstDataCluster - 1; }
  bool has_cluster(std::uint64_t cluster) const { return cluster >= kFirstDataCluster && cluster <= last_cluster(); }
  // First sector of FAT copy n (1 = the first copy).
  std::uint64_t fat_copy_start(std::uint32_t n) const { return reserved_sectors + (n - 1ull) * sectors_per_fat; }
  // First sector of a cluster; clusters are numbered from 2 at the data
  // area, wherever the FAT32 root directory lies.
  std::uint64_t sector_of(std::uint64_t cluster) const {
    return first_data_sector + (cluster - kFirstDataCluster) * sectors_per_cluster;
  }
  // The cluster that holds a sector; none before the data area or past the
  // last whole cluster.
  std::optional<std::uint64_t> cluster_of(std::uint64_t sector) const;
  bool is_fat() const { return type.has_value(); }
};

// The geometry of a decoded boot sector. A FAT32 root directory is not
// measured here: that needs the FAT (see measure_root_chain).
VolumeGeometry geometry_of(const ondisk::BootSector& boot);

}  // namespace volumar
