#include "format/boot_sector.h"

#include <algorithm>
#include <array>

#include "format/byte_order.h"

namespace ondisk {
namespace {

bool power_of_two(std::uint32_t v) { return v && !(v & (v - 1)); }

std::string text_at(const std::uint8_t* b, std::size_t at, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(b + at), n);
}

void put_text(std::uint8_t* b, std::size_t at, std::size_t n, const std::string& text) {
  for (std::size_t i = 0; i < n; ++i) b[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

}  // namespace

bool BootSector::has_serial() const {
  return ext_signature == boot::kExtendedSignatureShort || ext_signature == boot::kExtendedSignature;
}

bool BootSector::has_label_and_type() const { return ext_signature == boot::kExtendedSignature; }

namespace {
std::uint16_t reserved_sector(const BootSector& b, std::uint16_t field) {
  const bool there = b.fat32_layout() && field != 0 && field != boot::kNoSector && field < b.reserved_sectors;
  return there ? field : 0;
}
}  // namespace

std::uint16_t BootSector::fsinfo_at() const { return reserved_sector(*this, fsinfo_sector); }
std::uint16_t BootSector::backup_at() const { return reserved_sector(*this, backup_boot_sector); }

BootSector decode_boot_sector(std::span<const std::uint8_t> sector) {
  std::array<std::uint8_t, boot::kRecordSize> buffer{};
  std::copy_n(sector.begin(), std::min(sector.size(), buffer.size()), buffer.begin());
  const std::uint8_t* b = buffer.data();
  using namespace boot;
  BootSector f;
  f.jump = b[kJump];
  f.oem_name = text_at(b, kOemName, 8);
  f.bytes_per_sector = le16(b, kBytesPerSector);
  f.sectors_per_cluster = b[kSectorsPerCluster];
  f.reserved_sectors = le16(b, kReservedSectors);
  f.number_of_fats = b[kNumberOfFats];
  f.root_entries = le16(b, kRootEntries);
  f.total_sectors16 = le16(b, kTotalSectors16);
  f.media = b[kMedia];
  f.sectors_per_fat16 = le16(b, kSectorsPerFat16);
  f.sectors_per_track = le16(b, kSectorsPerTrack);
  f.heads = le16(b, kHeads);
  f.hidden_sectors = le32(b, kHiddenSectors);
  f.total_sectors32 = le32(b, kTotalSectors32);
  if (f.fat32_layout()) {
    f.sectors_per_fat32 = le32(b, kSectorsPerFat32);
    f.ext_flags = le16(b, kExtFlags);
    f.fs_version = le16(b, kFsVersion);
    f.root_cluster = le32(b, kRootCluster);
    f.fsinfo_sector = le16(b, kFsInfoSector);
    f.backup_boot_sector = le16(b, kBackupBootSector);
  }
  const std::size_t ext = f.extended_start();
  f.drive_number = b[ext + kExtDriveNumber];
  f.ext_signature = b[ext + kExtSignature];
  f.serial = le32(b, ext + kExtSerial);
  f.label = text_at(b, ext + kExtLabel, 11);
  f.type_text = text_at(b, ext + kExtTypeText, 8);
  f.signature = le16(b, kSignature);
  return f;
}

void encode_boot_sector(const BootSector& f, std::span<std::uint8_t> sector) {
  if (sector.size() < boot::kRecordSize) return;
  std::uint8_t* b = sector.data();
  using namespace boot;
  b[kJump] = f.jump;
  put_text(b, kOemName, 8, f.oem_name);
  put_le16(b, kBytesPerSector, f.bytes_per_sector);
  b[kSectorsPerCluster] = f.sectors_per_cluster;
  put_le16(b, kReservedSectors, f.reserved_sectors);
  b[kNumberOfFats] = f.number_of_fats;
  put_le16(b, kRootEntries, f.root_entries);
  put_le16(b, kTotalSectors16, f.total_sectors16);
  b[kMedia] = f.media;
  put_le16(b, kSectorsPerFat16, f.sectors_per_fat16);
  put_le16(b, kSectorsPerTrack, f.sectors_per_track);
  put_le16(b, kHeads, f.heads);
  put_le32(b, kHiddenSectors, f.hidden_sectors);
  put_le32(b, kTotalSectors32, f.total_sectors32);
  if (f.fat32_layout()) {
    put_le32(b, kSectorsPerFat32, f.sectors_per_fat32);
    put_le16(b, kExtFlags, f.ext_flags);
    put_le16(b, kFsVersion, f.fs_version);
    put_le32(b, kRootCluster, f.root_cluster);
    put_le16(b, kFsInfoSector, f.fsinfo_sector);
    put_le16(b, kBackupBootSector, f.backup_boot_sector);
  }
  const std::size_t ext = f.extended_start();
  b[ext + kExtDriveNumber] = f.drive_number;
  b[ext + kExtSignature] = f.ext_signature;
  put_le32(b, ext + kExtSerial, f.serial);
  put_text(b, ext + kExtLabel, 11, f.label);
  put_text(b, ext + kExtTypeText, 8, f.type_text);
  put_le16(b, kSignature, f.signature);
}

const char* fat_type_name(FatType type) {
  switch (type) {
    case FatType::Fat12: return "FAT12";
    case FatType::Fat16: return "FAT16";
    case FatType::Fat32: return "FAT32";
  }
  return "";
}

BootLayout layout_of(const BootSector& b) {
  BootLayout l;
  l.bytes_per_sector = b.sector_size();
  l.total_sectors = b.total_sectors();
  l.first_fat_sector = b.reserved_sectors;
  l.sectors_per_fat = b.sectors_per_fat();
  l.root_dir_start = l.first_fat_sector + std::uint64_t{b.number_of_fats} * l.sectors_per_fat;
  if (!b.fat32_layout())
    l.root_dir_sectors = (std::uint64_t{b.root_entries} * 32 + l.bytes_per_sector - 1) / l.bytes_per_sector;
  l.first_data_sector = l.root_dir_start + l.root_dir_sectors;
  if (b.sectors_per_cluster && l.total_sectors > l.first_data_sector)
    l.cluster_count = (l.total_sectors - l.first_data_sector) / b.sectors_per_cluster;
  if (l.cluster_count == 0 || l.sectors_per_fat == 0) return l;
  if (b.fat32_layout())
    l.type = FatType::Fat32;
  else if (l.cluster_count <= kMaxFat12Clusters)
    l.type = FatType::Fat12;
  else if (l.cluster_count <= kMaxFat16Clusters)
    l.type = FatType::Fat16;
  return l;
}

std::vector<std::string> boot_sector_problems(const BootSector& b) {
  std::vector<std::string> out;
  auto problem = [&](const std::string& field, const std::string& what) { out.push_back(field + ": " + what); };
  if (b.jump != boot::kJumpShort && b.jump != boot::kJumpNear)
    problem("jump instruction", "byte " + std::to_string(b.jump) + " (expected 0xEB or 0xE9)");
  if (!power_of_two(b.bytes_per_sector) || b.bytes_per_sector < 128 || b.bytes_per_sector > 4096)
    problem("bytes per sector", std::to_string(b.bytes_per_sector) + " (expected a power of two, 128-4096)");
  if (!power_of_two(b.sectors_per_cluster))
    problem("sectors per cluster", std::to_string(b.sectors_per_cluster) + " (expected a power of two, 1-128)");
  if (b.reserved_sectors == 0) problem("reserved sectors", "0 (expected at least 1)");
  if (b.number_of_fats == 0) problem("number of FATs", "0 (expected at least 1)");
  if (b.media != 0xF0 && b.media < 0xF8)
    problem("media descriptor", std::to_string(b.media) + " (expected 0xF0 or 0xF8-0xFF)");
  if (b.total_sectors() == 0) problem("total sectors", "0 in both fields (expected the volume's size)");
  if (b.sectors_per_fat() == 0) problem("sectors per FAT", "0 (expected at least 1)");
  if (!b.fat32_layout() && b.root_entries == 0) problem("root directory entries", "0 (expected at least 1)");
  if (!out.empty()) return out;
  const BootLayout l = layout_of(b);
  if (l.cluster_count == 0)
    problem("total sectors", std::to_string(l.total_sectors) + " (expected more than the " +
                                 std::to_string(l.first_data_sector) + " sectors before the data area)");
  else if (!l.type)
    problem("sectors per FAT (16-bit)", "a FAT12/16 layout with " + std::to_string(l.cluster_count) +
                                            " clusters (expected at most " + std::to_string(kMaxFat16Clusters) + ")");
  return out;
}

}  // namespace ondisk
