// Writing bytes into a volume by read-modify-write of whole sectors under
// the platform's locks, on both families.
#pragma once
#include "frame/value_types.h"
#include "platform/win_types.h"

namespace volumar {

// `data` holds one character per byte (ANSI code page). True when the
// write request succeeded. A span whose read failed or came back short is
// never written: the result is False and nothing reaches the volume.
Boolean WriteDriveSectors(const String& drive, Long startSector, Long byteOffset, const String& data, Long writeKind);

Boolean WriteDriveSectorsNT(const String& drive, Long startSector, Long byteOffset, const String& data);
Boolean WriteDriveSectorsInt26(const String& drive, Long startSector, Long byteOffset, const String& data);
Boolean WriteDriveSectorsExt(const String& drive, Long startSector, Long byteOffset, const String& data,
                             Long writeKind);

// 440Dh lock and unlock of a logical volume through an open VWIN32 handle;
// each tries category 0x48 and then 0x08.
Boolean LockLogicalVolume(win::HANDLE vwin32, Byte drive, Byte level, Integer permissions);
Boolean UnlockLogicalVolume(win::HANDLE vwin32, Byte drive);

}  // namespace volumar
