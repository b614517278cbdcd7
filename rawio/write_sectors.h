// Writing bytes into a volume by read-modify-write of whole sectors under
// the platform's locks, on both families.
#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "frame/value_types.h"
#include "platform/device_records.h"
#include "platform/win_types.h"
#include "rawio/sector_access.h"

namespace volumar {

// The write kinds of the 9x extended request: FAT sectors and ordinary data.
inline constexpr Long kWriteFatData = win::DISKIO_FAT_DATA | win::DISKIO_WRITE;
inline constexpr Long kWriteOrdinaryData = win::DISKIO_NORMAL_DATA | win::DISKIO_WRITE;

// `data` holds one character per byte (ANSI code page). True when the
// write request succeeded, every byte reached the volume and was flushed.
// A span whose read failed or came back short is never written: the result
// is False and nothing reaches the volume.
Boolean WriteDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                          const String& data, Long writeKind);

// Changes bytes in place where their new value depends on the old one (a
// count to add to): `change` gets the byteCount bytes from byteOffset as
// read, and on NT the read, the change and the write are one step under
// the span's lock, so that another writer's change in between is not lost.
// Otherwise as WriteDriveSectors.
using ByteChange = std::function<void(std::span<std::uint8_t> bytes)>;
Boolean UpdateDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                           Long byteCount, const ByteChange& change, Long writeKind);

Boolean WriteDriveSectorsNT(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                            const String& data);
Boolean WriteDriveSectorsInt26(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                               const String& data);
Boolean WriteDriveSectorsExt(Integer bytesPerSector, const String& drive, Long startSector, Long byteOffset,
                             const String& data, Long writeKind);

// 440Dh lock and unlock of a logical volume through an open VWIN32 handle;
// each tries category 0x48 and then 0x08.
Boolean LockLogicalVolume(win::HANDLE vwin32, Byte drive, Byte level, Integer permissions);
Boolean UnlockLogicalVolume(win::HANDLE vwin32, Byte drive);

}  // namespace volumar
