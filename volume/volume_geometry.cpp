#include "volume/volume_geometry.h"

#include "format/padded_text.h"

namespace volumar {

VolumeGeometry geometry_of(const ondisk::BootSector& boot) {
  VolumeGeometry g;
  g.problems = ondisk::boot_sector_problems(boot);
  const ondisk::BootLayout l = ondisk::layout_of(boot);
  g.bytes_per_sector = l.bytes_per_sector;
  g.sectors_per_cluster = boot.sectors_per_cluster;
  g.reserved_sectors = boot.reserved_sectors;
  g.number_of_fats = boot.number_of_fats;
  g.sectors_per_fat = l.sectors_per_fat;
  g.total_sectors = l.total_sectors;
  g.hidden_sectors = boot.hidden_sectors;
  g.root_directory_start = l.root_dir_start;
  g.root_directory_sectors = l.root_dir_sectors;
  g.first_data_sector = l.first_data_sector;
  g.cluster_count = l.cluster_count;
  // The layout decides the type even where a field is odd (a stored sector
  // size of 0 is 512): only a layout that decides none leaves it open.
  g.type = l.type;
  if (boot.fat32_layout()) {
    g.root_cluster = boot.root_cluster;
    // The root directory starts at its own cluster, wherever that is.
    if (g.has_cluster(g.root_cluster)) g.root_directory_start = g.sector_of(g.root_cluster);
    g.fsinfo_sector = boot.fsinfo_at();
    g.backup_boot_sector = boot.backup_at();
  }
  if (g.type && boot.has_label_and_type()) {
    const std::string text = ondisk::without_padding(boot.type_text);
    const bool names_a_type = text == "FAT12" || text == "FAT16" || text == "FAT32";
    // "FAT" alone is a common, harmless text; it names no width.
    if ((names_a_type && text != ondisk::fat_type_name(*g.type)) || text.empty()) g.type_text_disagrees = text;
  }
  return g;
}

std::optional<std::uint64_t> VolumeGeometry::cluster_of(std::uint64_t sector) const {
  if (sectors_per_cluster == 0 || sector < first_data_sector) return std::nullopt;
  const std::uint64_t cluster = (sector - first_data_sector) / sectors_per_cluster + kFirstDataCluster;
  if (!has_cluster(cluster)) return std::nullopt;
  return cluster;
}

}  // namespace volumar
