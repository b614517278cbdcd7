// Whole sectors of a volume as a private copy-on-write view: it reads as
// the volume's bytes without copying them, and what is written to it stays
// in this process.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "frame/value_types.h"
#include "rawio/sector_access.h"

namespace volumar {

struct MappedSectors {
  std::shared_ptr<void> keeper;  // the view, unmapped when the last holder lets go
  std::uint8_t* data = nullptr;  // the first byte of startSector
};

// `bytes` bytes from startSector, or nothing where no view can be made:
// on the 9x family (its disk service has none), past the end of the volume
// or its image, or when the platform refuses. The caller then reads them.
std::optional<MappedSectors> MapDriveSectors(const SectorAccess& access, const String& drive, Long startSector,
                                             std::size_t bytes);

}  // namespace volumar
