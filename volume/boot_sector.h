// Decoding a FAT volume's boot sector into the drive record, and loading a
// drive: what the system says of the volume, then its own boot sector.
#pragma once
#include "frame/value_types.h"
#include "platform/win_types.h"

namespace volumar {

// Empties DriveInfo and fills it for the drive named by the first
// character of `drive`; for a FAT volume reads sector 0 and FAT copy 1.
void LoadDriveInfo(const String& drive);

// Reads sector 0 through `root_path` ("c:\"), decodes the geometry and
// loads the first FAT copy.
void ReadBootSector(const String& root_path);

// "Missing", "Unknown", "Removable", "Fixed", "Remote", "CDRom", "RAMDisk".
String drive_type_name(win::UINT code);

}  // namespace volumar
