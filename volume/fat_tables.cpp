#include "volume/fat_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "frame/checked_math.h"
#include "platform/user32/message_pump.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_entry_codec.h"

namespace volumar {
namespace {

std::size_t table_size(const DriveInfoRecord& d, FatWidth width) {
  switch (width) {
    case FatWidth::Fat12: return d.Fat12Table.size();
    case FatWidth::Fat16: return d.Fat16Table.size();
    case FatWidth::Fat32: return d.Fat32Table.size();
  }
  return 0;
}

// The entry as an unsigned value of its width.
std::uint32_t table_entry(const DriveInfoRecord& d, FatWidth width, std::size_t c) {
  switch (width) {
    case FatWidth::Fat12: return static_cast<std::uint16_t>(d.Fat12Table[c]);
    case FatWidth::Fat16: return static_cast<std::uint16_t>(d.Fat16Table[c]);
    case FatWidth::Fat32: return static_cast<std::uint32_t>(d.Fat32Table[c]);
  }
  return 0;
}

}  // namespace

void LoadFatTables(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  Long fat_length = checked_mul<Long>(d.BytesPerSector, d.SectorsPerFat);
  d.FatBytes = ReadDriveSectorsWhole(root_path, d.ReservedSectors, 0, fat_length, "FAT copy 1");

  auto width = fat_width(d.FsType);
  if (!width) return;
  const std::size_t n = d.FatBytes.size();
  switch (*width) {
    case FatWidth::Fat32:
      d.Fat32Table.assign(table_entries(*width, n), 0);
      std::memcpy(d.Fat32Table.data(), d.FatBytes.data(), d.Fat32Table.size() * 4);  // little-endian host
      break;
    case FatWidth::Fat16:
      d.Fat16Table.assign(table_entries(*width, n), 0);
      std::memcpy(d.Fat16Table.data(), d.FatBytes.data(), d.Fat16Table.size() * 2);
      break;
    case FatWidth::Fat12:
      d.Fat12Table.assign(table_entries(*width, n), 0);
      UnpackFat12();
      break;
  }
  if (*width == FatWidth::Fat32) d.RootDirectoryLength = WalkClusterChain(d.Geometry.root_cluster);
}

void UnpackFat12() { unpack_fat12(DriveInfo().FatBytes, DriveInfo().Fat12Table); }

Long WalkClusterChain(Long first_cluster) {
  DriveInfoRecord& d = DriveInfo();
  VolumeGeometry& g = d.Geometry;
  const auto width = fat_width(d.FsType).value_or(FatWidth::Fat32);
  const std::uint32_t end_of_chain = ondisk::end_of_chain_min(width);
  const std::size_t entries = table_size(d, width);
  const Long per_cluster = CLng(std::nearbyint(double(d.BytesPerSector) * d.SectorsPerCluster / 32.0));
  // The section runs on from RootDirectoryStart as if the chain's clusters
  // lay one after the other: no more of them than reach the volume's end.
  const Long spc = std::max<Long>(d.SectorsPerCluster, 1);
  const std::uint64_t total = static_cast<std::uint32_t>(d.TotalSectors);
  const std::uint64_t start = static_cast<std::uint64_t>(std::max<Long>(d.RootDirectoryStart, 0));
  std::uint64_t bound = total == 0 ? entries : total > start ? (total - start) / spc : 0;
  const auto fits_long =
      static_cast<std::uint64_t>(std::numeric_limits<Long>::max() / 32 / std::max<Long>(per_cluster, 1));
  bound = std::min<std::uint64_t>({bound, entries, fits_long});

  std::uint64_t c = static_cast<std::uint64_t>(std::max(first_cluster, d.FirstDataCluster));
  std::uint64_t visited = 0;
  bool cut = false;
  while (c < end_of_chain) {
    if (visited == bound || c >= entries || (g.cluster_count && !g.has_cluster(c))) {
      cut = true;
      break;
    }
    win::DoEvents();
    ++visited;
    const std::uint32_t next = table_entry(d, width, static_cast<std::size_t>(c));
    const ondisk::EntryState state = ondisk::entry_state(width, next);
    if (state == ondisk::EntryState::EndOfChain) break;
    if (state != ondisk::EntryState::Link) {  // free, reserved, bad: the chain is damaged here
      cut = true;
      break;
    }
    c = next;
  }
  g.root_chain_cut = cut;
  g.root_directory_sectors = visited * static_cast<std::uint64_t>(spc);
  const Long k = checked_mul<Long>(static_cast<Long>(visited), per_cluster);
  return CLng(std::nearbyint(double(k) * 32.0 / d.BytesPerSector - 1));
}

std::optional<std::uint32_t> FatEntryValue(Long cluster) {
  const DriveInfoRecord& d = DriveInfo();
  const auto width = fat_width(d.FsType);
  if (!width || cluster < 0 || static_cast<std::size_t>(cluster) >= table_size(d, *width)) return std::nullopt;
  return table_entry(d, *width, static_cast<std::size_t>(cluster));
}

Long LastVolumeCluster() {
  const VolumeGeometry& g = DriveInfo().Geometry;
  return g.cluster_count
             ? static_cast<Long>(std::min<std::uint64_t>(g.last_cluster(), std::numeric_limits<Long>::max()))
             : 1;
}

}  // namespace volumar
