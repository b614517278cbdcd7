// The byte records of device requests: the 9x register block DIOC_REGISTERS,
// the extended-disk packet DISKIO and the NT DISK_GEOMETRY answer, each with
// its one codec. The values live in plain structs; the bytes are only ever
// read and written field by field, little-endian.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace win {

// DeviceIoControl codes of the \\.\VWIN32 service.
inline constexpr DWORD VWIN32_DIOC_DOS_IOCTL = 1;
inline constexpr DWORD VWIN32_DIOC_DOS_INT25 = 2;
inline constexpr DWORD VWIN32_DIOC_DOS_INT26 = 3;
inline constexpr DWORD VWIN32_DIOC_DOS_DRIVEINFO = 6;
inline constexpr DWORD DIOC_GETVERSION = 0;
inline constexpr DWORD CARRY_FLAG = 1;

// Function numbers (AX) of the register requests the service decodes.
inline constexpr WORD DOS_EXTENDED_ABSOLUTE_DISK = 0x7305;  // read/write through a DISKIO packet
inline constexpr WORD DOS_GENERIC_IOCTL = 0x440D;
// 440Dh: CH is the category, CL the minor code.
inline constexpr BYTE IOCTL_CATEGORY_FAT32 = 0x48;
inline constexpr BYTE IOCTL_CATEGORY_FAT = 0x08;
inline constexpr BYTE IOCTL_LOCK_LOGICAL_VOLUME = 0x4A;
inline constexpr BYTE IOCTL_UNLOCK_LOGICAL_VOLUME = 0x6A;
// CX of an absolute or extended request that takes a DISKIO packet.
inline constexpr DWORD DISKIO_LARGE_FORM = 0xFFFFFFFF;
// SI of 7305h (and of the absolute requests): bit 0 writes; bits 13-14 say
// what the sectors hold, so that the system can keep its caches.
inline constexpr DWORD DISKIO_WRITE = 0x0001;
inline constexpr DWORD DISKIO_FAT_DATA = 0x2000;
inline constexpr DWORD DISKIO_DIRECTORY_DATA = 0x4000;
inline constexpr DWORD DISKIO_NORMAL_DATA = 0x6000;

// NT disk request and its media types.
inline constexpr DWORD IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x00070000;
inline constexpr DWORD RemovableMedia = 11;
inline constexpr DWORD FixedMedia = 12;

inline constexpr std::size_t DIOC_REGISTERS_SIZE = 28;
inline constexpr std::size_t DISKIO_SIZE = 10;
inline constexpr std::size_t DISK_GEOMETRY_SIZE = 24;

struct DIOC_REGISTERS {
  DWORD reg_EBX = 0, reg_EDX = 0, reg_ECX = 0, reg_EAX = 0, reg_EDI = 0, reg_ESI = 0, reg_Flags = 0;
  friend bool operator==(const DIOC_REGISTERS&, const DIOC_REGISTERS&) = default;
};
// The address follows the 16-bit count directly, at byte 6.
struct DISKIO {
  DWORD dwStartSector = 0;
  WORD wSectors = 0;
  DWORD dwBuffer = 0;
  friend bool operator==(const DISKIO&, const DISKIO&) = default;
};
struct DISK_GEOMETRY {
  std::int64_t Cylinders = 0;
  DWORD MediaType = 0;
  DWORD TracksPerCylinder = 0;
  DWORD SectorsPerTrack = 0;
  DWORD BytesPerSector = 0;
  friend bool operator==(const DISK_GEOMETRY&, const DISK_GEOMETRY&) = default;
};

// Each reads or writes exactly the record's size in bytes at p (any alignment).
DIOC_REGISTERS decode_dioc_registers(const void* p);
void encode_dioc_registers(const DIOC_REGISTERS& r, void* p);
DISKIO decode_diskio(const void* p);
void encode_diskio(const DISKIO& d, void* p);
DISK_GEOMETRY decode_disk_geometry(const void* p);
void encode_disk_geometry(const DISK_GEOMETRY& g, void* p);

}  // namespace win
