// kernel32's VirtualAlloc and VirtualFree for whole committed regions:
// pages that read as zero until written, without the caller touching them,
// so a large buffer that a read is about to fill costs no clearing pass.
#pragma once
#include <cstddef>

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD MEM_COMMIT = 0x1000;
inline constexpr DWORD MEM_RESERVE = 0x2000;
inline constexpr DWORD MEM_RELEASE = 0x8000;
inline constexpr DWORD PAGE_READWRITE = 0x04;

// Only MEM_COMMIT | MEM_RESERVE of PAGE_READWRITE memory at an address of
// the system's choosing; nullptr with the last error set otherwise.
LPVOID VirtualAlloc(LPVOID address, std::size_t size, DWORD allocation_type, DWORD protect);
// Releases a whole region VirtualAlloc returned (size 0, MEM_RELEASE).
BOOL VirtualFree(LPVOID address, std::size_t size, DWORD free_type);

}  // namespace win
