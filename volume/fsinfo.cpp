#include "volume/fsinfo.h"

#include <optional>
#include <vector>

#include "format/byte_order.h"
#include "format/fsinfo.h"
#include "platform/ansi_code_page.h"
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

bool write_count(const String& drive, const InfoSector& s, std::uint32_t count) {
  std::uint8_t bytes[4];
  ondisk::put_le32(bytes, 0, count);
  const String text = win::ansi_to_utf16(std::string_view(reinterpret_cast<char*>(bytes), 4));
  return WriteDriveSectors(drive, s.sector, static_cast<Long>(ondisk::fsinfo::kFreeCount), text, kWriteFatData);
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
  std::vector<std::pair<const InfoSector*, std::uint32_t>> done;
  for (const InfoSector& s : sectors) {
    if (s.info.free_count == ondisk::fsinfo::kUnknown) continue;
    const std::uint32_t count = s.info.free_count + static_cast<std::uint32_t>(delta);
    if (!write_count(drive, s, count)) {
      for (auto& [written, old] : done) write_count(drive, *written, old);  // back to where both agreed
      return;
    }
    done.emplace_back(&s, s.info.free_count);
  }
}

}  // namespace volumar
