#include "volume/fat_tables.h"

#include <cmath>
#include <cstring>

#include "frame/checked_math.h"
#include "platform/user32/message_pump.h"
#include "rawio/read_sectors.h"
#include "volume/drive_info.h"
#include "volume/fat_entry_codec.h"

namespace volumar {

void LoadFatTables(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  Long fat_length = checked_mul<Long>(d.BytesPerSector, d.SectorsPerFat);
  auto bytes = ReadDriveSectors(root_path, d.ReservedSectors, 0, fat_length);
  if (!bytes) raise_error(win::kErrTypeMismatch);  // the empty result is no byte array
  d.FatBytes = std::move(*bytes);

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
  if (*width == FatWidth::Fat32) d.RootDirectoryLength = WalkClusterChain(d.RootDirectoryCluster);
}

void UnpackFat12() { unpack_fat12(DriveInfo().FatBytes, DriveInfo().Fat12Table); }

Long WalkClusterChain(Long first_cluster) {
  DriveInfoRecord& d = DriveInfo();
  Long c = std::max(first_cluster, d.FirstDataCluster);
  auto width = fat_width(d.FsType);
  const Long threshold = width == FatWidth::Fat12 ? 0xFF8 : width == FatWidth::Fat16 ? 0xFFF8 : 0x0FFFFFF8;
  const Long per_cluster = CLng(std::nearbyint(double(d.BytesPerSector) * d.SectorsPerCluster / 32.0));
  const std::size_t table_size =
      width == FatWidth::Fat12 ? d.Fat12Table.size() : width == FatWidth::Fat16 ? d.Fat16Table.size() : d.Fat32Table.size();

  Long k = 0;
  for (std::size_t steps = 0; c < threshold && steps < table_size; ++steps) {
    win::DoEvents();
    k = checked_add<Long>(k, per_cluster);
    if (c < 0 || static_cast<std::size_t>(c) >= table_size) raise_error(win::kErrSubscriptOutOfRange);
    if (width == FatWidth::Fat12)
      c = d.Fat12Table[c];
    else if (width == FatWidth::Fat16)
      c = static_cast<std::uint16_t>(d.Fat16Table[c]);
    else
      c = d.Fat32Table[c];
  }
  return CLng(std::nearbyint(double(k) * 32.0 / d.BytesPerSector - 1));
}

Long LastVolumeCluster() {
  const DriveInfoRecord& d = DriveInfo();
  if (d.SectorsPerCluster == 0 || d.TotalSectors <= d.DataAreaStart) return 1;
  return 2 + (d.TotalSectors - d.DataAreaStart) / d.SectorsPerCluster - 1;
}

}  // namespace volumar
