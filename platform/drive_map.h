// The host's drive map (like Wine's dosdevices): which raw volume and which
// folder each drive letter names, its drive type and whether it may be
// written; and the list of whole disks behind \\.\PHYSICALDRIVEn.
// The host configures it; the platform's calls only read it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace win {

// GetDriveTypeA codes.
inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

enum class DriveType : UINT {
  Removable = DRIVE_REMOVABLE,
  Fixed = DRIVE_FIXED,
  Remote = DRIVE_REMOTE,
  CDRom = DRIVE_CDROM,
  RAMDisk = DRIVE_RAMDISK,
};

struct VolumeMapping {
  // Image file or block device holding the raw volume; empty for a drive
  // that has only a folder (its raw volume never opens).
  std::string path;
  // A partition inside a whole-disk image: its first byte and its length.
  // Without a length the volume runs to the end of the file or device.
  std::optional<std::uint64_t> offset;
  std::optional<std::uint64_t> length;
  // Host folder that "X:\" names for file operations; empty for none.
  std::string folder;
  DriveType type = DriveType::Fixed;
  bool read_only = false;
};

class DriveMap {
 public:
  // letter: 'A'..'Z' in either case; anything else throws std::invalid_argument.
  static void map(char letter, VolumeMapping volume);
  static void unmap(char letter);
  // Unmaps every letter (the read-only option and the disk list stay).
  static void clear();
  static std::optional<VolumeMapping> find(char letter);

  // Makes every volume, physical disk and drive folder read-only.
  static void set_read_only(bool read_only);
  static bool read_only();
  // The letter's own flag or the global option.
  static bool is_read_only(char letter);

  // \\.\PHYSICALDRIVEn names paths[n]. An empty list means no disks at all.
  static void set_physical_drives(std::vector<std::string> paths);
  // Back to the machine's own whole disks (the default).
  static void use_system_physical_drives();
  static std::vector<std::string> physical_drives();
};

// The machine's whole disks from /sys/block, in name order: no partitions,
// no loop, RAM, optical, floppy or mapper devices, none of size 0.
std::vector<std::string> system_physical_drives();

// A Windows path resolved to the host for file operations.
struct ResolvedPath {
  DWORD error = ERROR_SUCCESS;  // non-zero: the path names nothing
  std::string host;
  char letter = 0;         // the drive it went through, 0 for a relative path
  bool read_only = false;  // the drive is read-only
};

// "C:\dir\f.txt" through C's folder; "dir\f.txt" relative to the process's
// current directory. Unmapped letter: ERROR_PATH_NOT_FOUND; a mapped drive
// without a folder: ERROR_NOT_READY; device, UNC and driveless rooted paths:
// ERROR_PATH_NOT_FOUND; bad characters: ERROR_INVALID_NAME.
ResolvedPath resolve_path(std::string_view win_path);

}  // namespace win
