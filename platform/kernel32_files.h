// kernel32's device and file calls over the drive map and the host:
//   "\\.\C:"             the raw volume of drive C (NT family only)
//   "\\.\PHYSICALDRIVEn" the n-th whole disk of the host's list (NT only)
//   "\\.\VWIN32"         the 9x disk service (9x family only)
//   "C:\dir\f.txt"       a file in C's folder; "dir\f.txt" relative to the
//                        current directory (both families)
// Device paths that are not available fail with ERROR_FILE_NOT_FOUND, as on
// the real families. Volumes: an unmapped letter gives ERROR_FILE_NOT_FOUND,
// a mapped one whose volume does not open ERROR_NOT_READY. A read-only
// volume (its own flag, the global option, or an image the process may not
// write) still opens with GENERIC_WRITE, since readers open that way too,
// and then every WriteFile fails with ERROR_WRITE_PROTECT, as write-protected
// media do; nothing reaches the image. Share modes are accepted and not
// enforced. Each call traces one line in the format call_trace.h gives
// (DeviceIoControl adds out=[...] and, for the 9x service, diskio=[...]) and
// is recorded by an active RequestLog.
#pragma once
#include <cstddef>

#include "platform/error_codes.h"
#include "platform/win_types.h"

namespace win {

inline constexpr DWORD GENERIC_EXECUTE = 0x20000000u;
inline constexpr DWORD GENERIC_ALL = 0x10000000u;
inline constexpr DWORD FILE_READ_DATA = 0x0001;
inline constexpr DWORD FILE_WRITE_DATA = 0x0002;
inline constexpr DWORD FILE_APPEND_DATA = 0x0004;
inline constexpr DWORD FILE_SHARE_DELETE = 4;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPVOID lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// Without a high part the distance is signed 32-bit and the result must fit
// in 32 bits. A result of 0xFFFFFFFF that is a real position leaves last
// error 0. Positions past the end of a volume are allowed (reads there
// deliver nothing).
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod);
// One host transfer per call; the count tells what it delivered.
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead,
              LPVOID lpOverlapped);
// On a volume or disk a write that would pass its end fails with
// ERROR_SECTOR_NOT_FOUND and writes nothing.
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               LPVOID lpOverlapped);
// Exclusive byte ranges that conflict with every other handle, also in the
// same process, and keep their reads and writes out (ERROR_LOCK_VIOLATION).
// On a volume the offset counts from the volume's first byte.
BOOL LockFile(HANDLE hFile, DWORD dwFileOffsetLow, DWORD dwFileOffsetHigh, DWORD nNumberOfBytesToLockLow,
              DWORD nNumberOfBytesToLockHigh);
BOOL UnlockFile(HANDLE hFile, DWORD dwFileOffsetLow, DWORD dwFileOffsetHigh, DWORD nNumberOfBytesToUnlockLow,
                DWORD nNumberOfBytesToUnlockHigh);
BOOL FlushFileBuffers(HANDLE hFile);
BOOL CloseHandle(HANDLE hObject);
// Volume and disk handles answer IOCTL_DISK_GET_DRIVE_GEOMETRY; \\.\VWIN32
// handles the service's codes (vwin32.h). Other codes: ERROR_INVALID_FUNCTION.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize, LPVOID lpOutBuffer,
                     DWORD nOutBufferSize, DWORD* lpBytesReturned, LPVOID lpOverlapped);

// Handles currently open (for tests that check every handle was closed).
std::size_t open_handle_count();

}  // namespace win
