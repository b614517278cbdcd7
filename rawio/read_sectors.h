// Reading any byte range of a volume by whole sectors, on the NT family
// through the volume's device path and on the 9x family through the
// virtual-device service.
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "frame/value_types.h"
#include "rawio/sector_access.h"

namespace volumar {

// What a read path hands back: the wanted bytes, or nothing when the device
// did not open; and whether the platform delivered the whole span. Bytes it
// did not deliver read as zero, so a span that is not complete must never
// be written back.
struct SectorRead {
  std::optional<win::Bytes> bytes;
  bool complete = false;
};

// True on the NT family; asked afresh on every call.
bool IsNTPlatform();

// byteCount bytes from byteOffset of the span that starts at startSector,
// through the path of the system's family, and whether all of them arrived.
SectorRead ReadDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                            Long byteCount);

// What a read into the caller's storage found: whether the device opened,
// and whether every byte of the storage was filled.
enum class SpanRead { NoDevice, Short, Complete };

// Whole sectors from startSector into `into` (a multiple of the sector
// size), through the path of the system's family. Nothing is cleared
// first: storage a short read did not reach keeps what it held.
SpanRead ReadDriveSectorsInto(const SectorAccess& access, const String& drive, Long startSector,
                              std::span<std::uint8_t> into);

SectorRead ReadDriveSectorsNT(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                              Long byteCount);
SectorRead ReadDriveSectorsInt25(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                                 Long byteCount);
SectorRead ReadDriveSectorsExt(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                               Long byteCount);

}  // namespace volumar
