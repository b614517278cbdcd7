// What a system reads from a volume's first sectors to name it: FAT12,
// FAT16 or FAT32 from a sound BIOS parameter block, NTFS from its OEM name,
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
};

// Names the volume from sector 0 (at least 512 bytes). A FAT boot sector
// must be sound field by field; the FAT type follows the layout and the
// cluster count, never the type text.
BootSectorFacts probe_boot_sector(const std::uint8_t* sector, std::size_t size);

// Reads bytes of the volume: true when all `length` arrived.
using VolumeReader = std::function<bool(std::uint64_t offset, void* buffer, std::size_t length)>;

struct VolumeIdentity {
  FsKind kind = FsKind::Unknown;
  DWORD bytes_per_sector = 0;
  DWORD serial = 0;
  std::string label;  // "" for none and for "NO NAME"
};

// The label is the root directory's volume-label entry, as systems report
// it; a label only in the boot sector is no label. Errors: ERROR_NOT_READY
// when sector 0 cannot be read, ERROR_UNRECOGNIZED_VOLUME when it names
// nothing.
DWORD identify_volume(const VolumeReader& read, VolumeIdentity& identity);

const char* fs_name(FsKind kind);  // "FAT", "FAT32", "NTFS", ""

}  // namespace win
