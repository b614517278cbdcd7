// What a system reads from a volume's first sectors to name it: FAT12,
// FAT16 or FAT32 from a valid BIOS parameter block, NTFS from its OEM name,
// and the volume's label, serial number and sector size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace win {

enum class FsKind { Unknown, Fat12, Fat16, Fat32, Ntfs };

struct BootSectorFacts {
  FsKind kind = FsKind::Unknown;
  DWORD bytes_per_sector = 0;
  DWORD serial = 0;
  std::string boot_label;             // extended BPB label, trailing spaces trimmed
  // FAT: where the root directory is.
  std::uint64_t root_dir_sector = 0;  // FAT12/16: fixed root; FAT32: first data sector
  DWORD root_entries = 0;             // FAT12/16
  DWORD root_cluster = 0;             // FAT32
  DWORD sectors_per_cluster = 0;
  DWORD reserved_sectors = 0;
  DWORD cluster_count = 0;
};

// Decodes sector 0 (at least 512 bytes). FAT needs a jump instruction, a
// sector size of 128 to 4096 (a power of two), a power-of-two cluster, a
// reserved sector, a FAT, a media byte F0h or F8h-FFh, a total, a FAT size,
// a root directory (FAT12/16) and room for data. The FAT32 layout (16-bit
// FAT size 0) is FAT32; otherwise fewer than 4085 clusters is FAT12 and the
// rest FAT16.
BootSectorFacts decode_boot_sector(const std::uint8_t* sector, std::size_t size);

// Reads bytes of the volume: true when all `length` arrived.
using VolumeReader = std::function<bool(std::uint64_t offset, void* buffer, std::size_t length)>;

struct VolumeIdentity {
  FsKind kind = FsKind::Unknown;
  DWORD bytes_per_sector = 0;
  DWORD serial = 0;
  std::string label;  // "" for none and for "NO NAME"
};

// The label comes from the root directory's volume-label entry, as the
// system reports it, else from the boot sector. Errors: ERROR_NOT_READY when
// sector 0 cannot be read, ERROR_UNRECOGNIZED_VOLUME when it names nothing.
DWORD identify_volume(const VolumeReader& read, VolumeIdentity& identity);

const char* fs_name(FsKind kind);  // "FAT", "FAT32", "NTFS", ""

}  // namespace win
