#include "volume/fsinfo.h"

#include <optional>
#include <vector>

#include "format/byte_order.h"
#include "format/fsinfo.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"

namespace volumar {
namespace {

struct InfoSector {
  Long sector;
  ondisk::FsInfo info;
};

std::optional<InfoSector> read_info(const String& drive, Long sector) {
  auto bytes = ReadDriveSectors(drive, sector, 0, ondisk::fsinfo::kRecordSize);
  if (!bytes) return std::nullopt;
  const ondisk::FsInfo info = ondisk::decode_fsinfo(*bytes);
  if (!info.valid) return std::nullopt;
  return InfoSector{sector, info};
}

// Adds delta to the sector's free count where it is known, reading and
// writing under one lock so that another writer's change is not lost.
bool add_to_count(const String& drive, const InfoSector& s, Long delta) {
  return UpdateDriveSectors(
      drive, s.sector, static_cast<Long>(ondisk::fsinfo::kFreeCount), 4,
      [delta](std::span<std::uint8_t> count) {
        const std::uint32_t now = ondisk::le32(count.data(), 0);
        if (now != ondisk::fsinfo::kUnknown) ondisk::put_le32(count.data(), 0, now + static_cast<std::uint32_t>(delta));
      },
      kWriteFatData);
}

}  // namespace

void adjust_free_cluster_count(const String& drive, Long delta) {
  const VolumeGeometry& g = DriveInfo().Geometry;
  if (delta == 0 || g.fsinfo_sector == 0 || DriveInfo().BytesPerSector < 512) return;
  std::vector<InfoSector> sectors;
  auto primary = read_info(drive, static_cast<Long>(g.fsinfo_sector));
  if (!primary) return;
  sectors.push_back(*primary);
  // The backup boot sector keeps its own information sector at the same
  // distance; only a copy the volume really has is kept in step.
  if (g.backup_boot_sector != 0) {
    const std::uint64_t at = std::uint64_t{g.backup_boot_sector} + g.fsinfo_sector;
    if (at < g.reserved_sectors) {
      if (auto backup = read_info(drive, static_cast<Long>(at))) sectors.push_back(*backup);
    }
  }
  std::vector<const InfoSector*> done;
  for (const InfoSector& s : sectors) {
    if (s.info.free_count == ondisk::fsinfo::kUnknown) continue;
    if (!add_to_count(drive, s, delta)) {
      for (const InfoSector* written : done) add_to_count(drive, *written, -delta);  // back to where both agreed
      return;
    }
    done.push_back(&s);
  }
}

}  // namespace volumar
