// System error codes of the device and file calls beyond the shared set,
// and the one translation of POSIX errno values into them.
#pragma once
#include "platform/win_types.h"

namespace win {

inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_INVALID_DRIVE = 15;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_CRC = 23;
inline constexpr DWORD ERROR_BAD_LENGTH = 24;
inline constexpr DWORD ERROR_DIR_NOT_ROOT = 144;
inline constexpr DWORD ERROR_NOT_LOCKED = 158;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
inline constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;

// io_fault stands for EIO (ERROR_READ_FAULT or ERROR_WRITE_FAULT by context)
// and for any errno without a closer code.
DWORD error_from_errno(int error, DWORD io_fault = ERROR_GEN_FAILURE);

}  // namespace win
