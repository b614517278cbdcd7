// A host may see every write that is about to reach a raw volume or a
// physical disk, with the bytes it will overwrite, the way a filter driver
// sees them, and refuse it. The undo journal of a host is kept this way.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/win_types.h"

namespace win {

struct VolumeWrite {
  const std::string& host_path;  // the image file or device
  std::uint64_t base;            // where the volume starts in it
  std::uint64_t position;        // the first byte written, within the volume
  std::span<const std::uint8_t> before;
  std::span<const std::uint8_t> after;
};

// ERROR_SUCCESS lets the write go ahead; VOLUME_WRITE_SKIPPED reports it
// done without writing a byte (a dry run); any other code fails the write
// with it before a byte is written.
// Bit 29 marks a code as the application's own, never the system's.
inline constexpr DWORD VOLUME_WRITE_SKIPPED = 0x20000001;

using VolumeWriteObserver = std::function<DWORD(const VolumeWrite&)>;

// One observer for the process; an empty function removes it.
void set_volume_write_observer(VolumeWriteObserver observer);
bool has_volume_write_observer();
DWORD observe_volume_write(const VolumeWrite& write);

}  // namespace win
