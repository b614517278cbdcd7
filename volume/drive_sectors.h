// Reading and writing sectors of the selected volume: raw access sized by
// the drive record's sector size and, on the 9x family, the request its
// type takes.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "frame/value_types.h"
#include "rawio/sector_access.h"
#include "rawio/write_sectors.h"

namespace volumar {

// The raw access that DriveInfo's sector size and type name call for:
// absolute requests for exactly "FAT12" or "FAT16", extended for any other.
SectorAccess DriveSectorAccess();

// byteCount bytes from byteOffset of the span that starts at startSector,
// or nothing when the device does not open. Bytes the platform did not
// deliver read as zero.
std::optional<win::Bytes> ReadDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount);

// Read-modify-write of whole sectors; True when every byte reached the
// volume. A write into FAT copy 1 of the selected volume loads its tables
// first, so that they hold the copy as it was before the write, as they
// would had selection loaded them.
Boolean WriteDriveSectors(const String& drive, Long startSector, Long byteOffset, const String& data, Long writeKind);
Boolean UpdateDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount,
                           const ByteChange& change, Long writeKind);

// The bytes, all of them, or a run-time error: Type mismatch when the
// device does not open (the empty result is no byte array), Device I/O
// error naming `what` when the volume delivered less. Nothing is ever
// decoded from bytes that were not read.
win::Bytes ReadDriveSectorsWhole(const String& drive, Long startSector, Long byteOffset, Long byteCount,
                                 const std::string& what);
// The same for whole sectors read into the caller's storage.
void ReadDriveSectorsWholeInto(const String& drive, Long startSector, std::span<std::uint8_t> into,
                               const std::string& what);

}  // namespace volumar
