// Volume identification from the boot sector and root directory.
#include "platform/volume_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "format/boot_sector.h"
#include "format/byte_order.h"
#include "format/directory_entry.h"
#include "format/fat_entry.h"
#include "platform/error_codes.h"

namespace win {
namespace {

// NTFS keeps its serial number at 0x48 and names itself in the OEM field.
constexpr std::size_t kNtfsSerial = 0x48;
constexpr const char kNtfsOemName[] = "NTFS    ";
// A root chain longer than this is damaged; systems stop looking.
constexpr DWORD kMaxRootClustersSearched = 4096;

std::string without_no_name(std::string label) { return label == "NO NAME" ? std::string() : label; }

// A sector at a time: the fields may claim far more directory than the
// volume holds, and the buffer must not follow them. False when a read fails.
bool search_for_label(const VolumeReader& read, std::uint64_t at, std::uint64_t length, std::uint64_t bps,
                      ondisk::LabelSearch& found) {
  std::vector<std::uint8_t> sector(bps);
  for (std::uint64_t done = 0; done < length && !found.label && !found.ended; done += bps) {
    const auto n = static_cast<std::size_t>(std::min(bps, length - done));
    if (!read(at + done, sector.data(), n)) return false;
    found = ondisk::find_volume_label({sector.data(), n});
  }
  return true;
}

}  // namespace

const char* fs_name(FsKind kind) {
  switch (kind) {
    case FsKind::Fat12:
    case FsKind::Fat16: return "FAT";
    case FsKind::Fat32: return "FAT32";
    case FsKind::Ntfs: return "NTFS";
    default: return "";
  }
}

BootSectorFacts probe_boot_sector(const std::uint8_t* b, std::size_t size) {
  BootSectorFacts f;
  if (size < ondisk::boot::kRecordSize) return f;
  const ondisk::BootSector boot = ondisk::decode_boot_sector({b, size});
  if (boot.oem_name == kNtfsOemName) {
    f.kind = FsKind::Ntfs;
    f.bytes_per_sector = boot.bytes_per_sector;
    f.serial = ondisk::le32(b, kNtfsSerial);
    return f;
  }
  if (!ondisk::boot_sector_problems(boot).empty()) return f;
  const ondisk::BootLayout layout = ondisk::layout_of(boot);
  switch (*layout.type) {
    case ondisk::FatType::Fat12: f.kind = FsKind::Fat12; break;
    case ondisk::FatType::Fat16: f.kind = FsKind::Fat16; break;
    case ondisk::FatType::Fat32: f.kind = FsKind::Fat32; break;
  }
  f.bytes_per_sector = boot.bytes_per_sector;
  if (boot.has_serial()) f.serial = boot.serial;
  return f;
}

DWORD identify_volume(const VolumeReader& read, VolumeIdentity& id) {
  id = {};
  std::vector<std::uint8_t> sector(ondisk::boot::kRecordSize);
  if (!read(0, sector.data(), sector.size())) return ERROR_NOT_READY;
  const BootSectorFacts f = probe_boot_sector(sector.data(), sector.size());
  if (f.kind == FsKind::Unknown) return ERROR_UNRECOGNIZED_VOLUME;
  id.kind = f.kind;
  id.bytes_per_sector = f.bytes_per_sector;
  id.serial = f.serial;
  if (f.kind == FsKind::Ntfs) return ERROR_SUCCESS;

  const ondisk::BootSector boot = ondisk::decode_boot_sector(sector);
  const ondisk::BootLayout layout = ondisk::layout_of(boot);
  const std::uint64_t bps = layout.bytes_per_sector;
  ondisk::LabelSearch found;
  if (f.kind != FsKind::Fat32) {
    search_for_label(read, layout.root_dir_start * bps, std::uint64_t{boot.root_entries} * ondisk::dirent::kSize, bps,
                     found);
  } else {
    std::uint64_t cluster = boot.root_cluster;
    const DWORD limit = static_cast<DWORD>(std::min<std::uint64_t>(layout.cluster_count, kMaxRootClustersSearched));
    for (DWORD walked = 0; walked < limit && !found.label && !found.ended; ++walked) {
      if (cluster < 2 || cluster - 2 >= layout.cluster_count) break;
      const std::uint64_t at = (layout.first_data_sector + (cluster - 2) * boot.sectors_per_cluster) * bps;
      if (!search_for_label(read, at, bps * boot.sectors_per_cluster, bps, found)) break;
      std::uint8_t entry[4];
      const auto entry_at = layout.first_fat_sector * bps + ondisk::entry_byte_offset(ondisk::FatType::Fat32, cluster);
      if (!read(entry_at, entry, sizeof entry)) break;
      cluster = ondisk::le32(entry, 0) & ondisk::kFat32Max;
    }
  }
  if (found.label) id.label = without_no_name(*found.label);
  return ERROR_SUCCESS;
}

}  // namespace win
