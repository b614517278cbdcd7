// Drive arguments: the -d/--drive mappings and the DRIVE
// argument of the commands (a letter, or a path mapped to a free letter).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/drive_map.h"

namespace CLI {
class App;
}

namespace volumar_tool {

struct DriveMapping {
  char letter = 0;  // upper case
  win::VolumeMapping volume;
};

// "L=PATH[,partition=N][,offset=BYTES][,length=BYTES][,folder=DIR][,type=NAME]".
// partition= reads the disk's partition table and sets the offset and length
// from it (see map_partition). Raises a usage error naming what is wrong.
DriveMapping parse_drive_mapping(std::string_view text);

// BYTES: decimal or 0x hex, optionally followed by a unit: K or KiB, M or
// MiB, G or GiB (powers of 1024), or s (sectors of sector_size bytes).
std::uint64_t parse_byte_count(std::string_view text, std::uint64_t sector_size = 512);

// Points volume (its path set) at partition `number` of the disk there. A
// partition that reaches past the end of the disk is cut to what the disk
// holds and made read-only, with a warning. A number the table does not
// have is a usage error listing the partitions.
void map_partition(win::VolumeMapping& volume, int number);

// Raises a ToolError, with `who` before it, naming the path and why when it
// is missing, cannot be opened for reading, or is no regular file or block
// device (a FIFO would block the first read and a folder has no sectors).
void require_image_or_device(const std::string& path, const std::string& who);
// "a FIFO", "a folder", ... for a st_mode that is neither; nullptr otherwise.
const char* unusable_file_kind(unsigned mode);

// "Removable", "Fixed", "Remote", "CDRom", "RAMDisk", without regard to case.
win::DriveType parse_drive_type(std::string_view name);

// C, C:, c:\ and c:/ name a letter; anything else is a path.
bool is_drive_letter_text(std::string_view text);

// The DRIVE argument of a command, with its --partition option.
struct DriveArgument {
  std::string text;              // a letter or a path
  std::optional<int> partition;  // a partition of the disk at the path
};

// Adds DRIVE and --partition N to a command.
void add_drive_argument(CLI::App& command, DriveArgument& drive);
// Adds --raw: sectors by absolute number, for a volume whose boot sector does not decode.
void add_raw_flag(CLI::App& command, bool& raw);

// The letter a DRIVE argument names. A path is mapped to the first free
// letter from C (reusing a letter already mapped to the same path and
// partition). A letter that names no drive, a missing image, and a whole
// partitioned disk without an offset or partition are errors that say so.
char resolve_drive_argument(const DriveArgument& drive);
char resolve_drive_argument(std::string_view text);

// The drive as the command line named it (the path given, or "C:"), for
// messages: the letter a path was mapped to means nothing to the user.
std::string given_name(char letter);

// "C:" for a letter: the drive text handed to the library.
std::u16string drive_text(char letter);

}  // namespace volumar_tool
