// What raw sector access needs to know of a volume, and no more: its
// sector size, and which request of the 9x disk service reaches it.
#pragma once
#include "frame/value_types.h"

namespace volumar {

// On the 9x family FAT12 and FAT16 volumes take the absolute requests
// (INT 25h/26h); every other volume the extended request 7305h.
enum class DiskRequest { Absolute, Extended };

struct SectorAccess {
  Integer bytes_per_sector = 512;
  DiskRequest request = DiskRequest::Extended;
};

}  // namespace volumar
