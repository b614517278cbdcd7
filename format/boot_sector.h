// The boot sector of a FAT volume: where each field of the BIOS parameter
// block and of the extended fields lies, their one codec, and the layout of
// the volume that follows from them (where the FATs, the root directory and
// the data area are, how many clusters there are, and so which FAT type).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ondisk {

// Byte offsets in sector 0.
namespace boot {
inline constexpr std::size_t kJump = 0;
inline constexpr std::size_t kOemName = 3;  // 8 bytes
inline constexpr std::size_t kBytesPerSector = 11;
inline constexpr std::size_t kSectorsPerCluster = 13;
inline constexpr std::size_t kReservedSectors = 14;
inline constexpr std::size_t kNumberOfFats = 16;
inline constexpr std::size_t kRootEntries = 17;
inline constexpr std::size_t kTotalSectors16 = 19;
inline constexpr std::size_t kMedia = 21;
inline constexpr std::size_t kSectorsPerFat16 = 22;
inline constexpr std::size_t kSectorsPerTrack = 24;
inline constexpr std::size_t kHeads = 26;
inline constexpr std::size_t kHiddenSectors = 28;
inline constexpr std::size_t kTotalSectors32 = 32;
// FAT32 only.
inline constexpr std::size_t kSectorsPerFat32 = 36;
inline constexpr std::size_t kExtFlags = 40;
inline constexpr std::size_t kFsVersion = 42;
inline constexpr std::size_t kRootCluster = 44;
inline constexpr std::size_t kFsInfoSector = 48;
inline constexpr std::size_t kBackupBootSector = 50;
// The extended fields start at 36 on FAT12/16 and at 64 on FAT32; these are
// relative to that start.
inline constexpr std::size_t kExtendedFat16 = 36;
inline constexpr std::size_t kExtendedFat32 = 64;
inline constexpr std::size_t kExtDriveNumber = 0;
inline constexpr std::size_t kExtSignature = 2;
inline constexpr std::size_t kExtSerial = 3;
inline constexpr std::size_t kExtLabel = 7;      // 11 bytes
inline constexpr std::size_t kExtTypeText = 18;  // 8 bytes: "FAT16   " at 54, "FAT32   " at 82
inline constexpr std::size_t kSignature = 510;

inline constexpr std::size_t kRecordSize = 512;
inline constexpr std::uint16_t kSignatureValue = 0xAA55;
inline constexpr std::uint8_t kExtendedSignatureShort = 0x28;  // serial only
inline constexpr std::uint8_t kExtendedSignature = 0x29;       // serial, label and type text
inline constexpr std::uint8_t kJumpShort = 0xEB;
inline constexpr std::uint8_t kJumpNear = 0xE9;
inline constexpr std::uint16_t kNoSector = 0xFFFF;  // FSInfo or backup sector absent
}  // namespace boot

// The fields as stored. Texts keep their padding.
struct BootSector {
  std::uint8_t jump = 0;
  std::string oem_name;
  std::uint16_t bytes_per_sector = 0;
  std::uint8_t sectors_per_cluster = 0;
  std::uint16_t reserved_sectors = 0;
  std::uint8_t number_of_fats = 0;
  std::uint16_t root_entries = 0;
  std::uint16_t total_sectors16 = 0;
  std::uint8_t media = 0;
  std::uint16_t sectors_per_fat16 = 0;
  std::uint16_t sectors_per_track = 0;
  std::uint16_t heads = 0;
  std::uint32_t hidden_sectors = 0;
  std::uint32_t total_sectors32 = 0;
  std::uint32_t sectors_per_fat32 = 0;
  std::uint16_t ext_flags = 0;
  std::uint16_t fs_version = 0;
  std::uint32_t root_cluster = 0;
  std::uint16_t fsinfo_sector = 0;
  std::uint16_t backup_boot_sector = 0;
  std::uint8_t drive_number = 0;
  std::uint8_t ext_signature = 0;
  std::uint32_t serial = 0;
  std::string label;      // 11 bytes
  std::string type_text;  // 8 bytes
  std::uint16_t signature = 0;

  // A 16-bit FAT size of 0 is the FAT32 layout.
  bool fat32_layout() const { return sectors_per_fat16 == 0; }
  std::size_t extended_start() const { return fat32_layout() ? boot::kExtendedFat32 : boot::kExtendedFat16; }
  bool has_serial() const;
  bool has_label_and_type() const;
  std::uint32_t total_sectors() const { return total_sectors16 ? total_sectors16 : total_sectors32; }
  std::uint32_t sectors_per_fat() const { return fat32_layout() ? sectors_per_fat32 : sectors_per_fat16; }
  // FAT32: the information sector and the backup boot sector, where they
  // lie inside the reserved area; 0 when the volume keeps none there.
  std::uint16_t fsinfo_at() const;
  std::uint16_t backup_at() const;
  // A stored 0 counts as 512, as the library always took it.
  std::uint32_t sector_size() const { return bytes_per_sector ? bytes_per_sector : 512; }
};

// Decodes the first 512 bytes; a shorter span reads as if zero-filled.
BootSector decode_boot_sector(std::span<const std::uint8_t> sector);
// Writes every field into the first 512 bytes of `sector`.
void encode_boot_sector(const BootSector& fields, std::span<std::uint8_t> sector);

enum class FatType { Fat12, Fat16, Fat32 };
const char* fat_type_name(FatType type);  // "FAT12", "FAT16", "FAT32"

// Systems decide FAT12 and FAT16 by the count of data clusters alone.
inline constexpr std::uint64_t kMaxFat12Clusters = 4084;
inline constexpr std::uint64_t kMaxFat16Clusters = 65524;

// Where a volume's parts lie, from the boot sector alone. Sectors count from
// the boot sector. Computed in 64 bits: no field combination overflows.
struct BootLayout {
  std::uint32_t bytes_per_sector = 0;  // as used: a stored 0 is 512
  std::uint64_t total_sectors = 0;
  std::uint64_t first_fat_sector = 0;
  std::uint64_t sectors_per_fat = 0;
  std::uint64_t root_dir_start = 0;    // FAT12/16: the fixed root; FAT32: first data sector
  std::uint64_t root_dir_sectors = 0;  // FAT12/16, whole sectors; FAT32 0
  std::uint64_t first_data_sector = 0;
  std::uint64_t cluster_count = 0;  // data clusters, numbered from 2
  // The type the layout and the cluster count give; none when they give
  // none (no data area, no clusters, or too many clusters for a FAT12/16
  // layout).
  std::optional<FatType> type;
};
BootLayout layout_of(const BootSector& b);

// What is wrong with a boot sector as a FAT boot sector, field by field,
// each "field: what is wrong (expected ...)"; empty when it is sound.
std::vector<std::string> boot_sector_problems(const BootSector& b);

}  // namespace ondisk
