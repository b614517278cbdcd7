// Drive arguments: the -d/--drive mappings and the DRIVE
// argument of the commands (a letter, or a path mapped to a free letter).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/drive_map.h"

namespace volumar_tool {

struct DriveMapping {
  char letter = 0;  // upper case
  win::VolumeMapping volume;
};

// "L=PATH[,offset=BYTES][,length=BYTES][,folder=DIR][,type=NAME]".
// Raises a usage error naming what is wrong.
DriveMapping parse_drive_mapping(std::string_view text);

// BYTES: decimal or 0x hex, optionally followed by K, M or G (powers of 1024).
std::uint64_t parse_byte_count(std::string_view text);

// "Removable", "Fixed", "Remote", "CDRom", "RAMDisk", without regard to case.
win::DriveType parse_drive_type(std::string_view name);

// C, C:, c:\ and c:/ name a letter; anything else is a path.
bool is_drive_letter_text(std::string_view text);

// The letter a DRIVE argument names. A path is mapped to the first free
// letter from C (reusing a letter already mapped to the same path). A letter
// that names no drive, and a missing image, are errors that say so.
char resolve_drive_argument(std::string_view text);

// "C:" for a letter: the drive text handed to the library.
std::u16string drive_text(char letter);

}  // namespace volumar_tool
