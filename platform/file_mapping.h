// kernel32's file mappings, in the one form the library uses: a private
// copy-on-write view (PAGE_WRITECOPY, FILE_MAP_COPY) of a file, volume or
// disk handle. A view reads as the bytes it maps, pages that are written
// become the process's own, and nothing written to it reaches the device.
// Views stay valid after their mapping and file handles are closed. Each
// call traces one line in the format call_trace.h gives.
#pragma once
#include <cstddef>

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD PAGE_WRITECOPY = 0x08;
inline constexpr DWORD FILE_MAP_COPY = 0x0001;
// View offsets are multiples of the system's allocation granularity.
inline constexpr DWORD kAllocationGranularity = 64 * 1024;
inline constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;
inline constexpr DWORD ERROR_INVALID_ADDRESS = 487;

// nullptr (not INVALID_HANDLE_VALUE) on failure. Only unnamed PAGE_WRITECOPY
// mappings of the handle's whole extent (maximum size 0).
HANDLE CreateFileMappingA(HANDLE hFile, LPVOID lpAttributes, DWORD flProtect, DWORD dwMaximumSizeHigh,
                          DWORD dwMaximumSizeLow, LPCSTR lpName);
// FILE_MAP_COPY views of dwNumberOfBytesToMap bytes (not 0). Bytes past the
// end of a volume or of its host file fail with ERROR_HANDLE_EOF, a range
// another handle locks with ERROR_LOCK_VIOLATION.
LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                     std::size_t dwNumberOfBytesToMap);
BOOL UnmapViewOfFile(LPCVOID lpBaseAddress);

}  // namespace win
