// The 9x disk service behind \\.\VWIN32. DeviceIoControl codes, each with a
// DIOC_REGISTERS record (28 bytes) as input and output:
//   1 VWIN32_DIOC_DOS_IOCTL   AX=440Dh: CL=4Ah lock logical volume (BL drive,
//                             A=1; BH level; DX permissions), CL=6Ah unlock;
//                             CH is the category, 48h or 08h
//   2 VWIN32_DIOC_DOS_INT25   absolute read: AL drive (A=0), EBX buffer
//                             address, ECX sectors, EDX first sector; ECX of
//                             FFFFh takes a DISKIO packet at EBX instead
//   3 VWIN32_DIOC_DOS_INT26   absolute write, the same registers
//   6 VWIN32_DIOC_DOS_DRIVEINFO AX=7305h extended read/write: EBX the DISKIO
//                             packet's address, CX=FFFFh, DL drive (A=1),
//                             ESI bit 0 set for a write
// Failure sets the carry (bit 0 of reg_Flags) with the error in AX: for
// 440Dh and 7305h a system error code, for INT 25h/26h the driver status
// (AH BIOS status, AL driver code: 0300h write-protected, 0408h sector not
// found, 8002h not ready, 200Bh/200Ah read/write fault, 000Ch general
// failure, 0001h unknown unit). Success clears the carry. DeviceIoControl
// itself returns TRUE whenever the record was processed.
//
// Sectors are the volume's own: the bytes-per-sector of its FAT boot sector,
// else 512. Transfers must lie wholly inside the volume and inside the
// registered buffers (address_table.h); read-only volumes refuse writes.
// Volume locks belong to the handle that took them and go with it. Levels
// nest from 0 or 1 upwards, one at a time, to 3; another handle can take none
// while one is held, and its writes to that volume are refused. Real 9x also
// refuses absolute writes made without a lock; that stays off by default
// because absolute writes are documented to go out without one.
#pragma once
#include <cstddef>
#include <vector>

#include "platform/handle_table.h"
#include "platform/win_types.h"

namespace win {

// Host option: refuse writes from a handle that holds no lock on the volume
// (ERROR_ACCESS_DENIED / 000Ch).
void set_vwin32_require_lock(bool require);

// One open \\.\VWIN32 handle.
struct Vwin32Connection : KernelObject {
  Vwin32Connection();
  ~Vwin32Connection() override;  // releases its volume locks
  const unsigned id;
};

// Serves one DeviceIoControl on a connection; the return value is the
// call's error (0: processed). packet receives the DISKIO bytes it used.
DWORD vwin32_control(Vwin32Connection& connection, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                     DWORD& returned, std::vector<BYTE>* packet);

}  // namespace win
