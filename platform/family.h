// Which family of Windows the platform reports: NT (the default) or 9x,
// chosen by the host. The family decides which device paths open.
#pragma once
#include "platform/win_types.h"

namespace win {

using CHAR = char;

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
struct OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(OSVERSIONINFOEXA) == 156);

enum class Family { NT, Win9x };

void set_family(Family family);
Family family();
bool is_nt_family();

// Makes GetVersionExA fail with this last-error value (0 restores success).
void set_get_version_failure(DWORD error);

// NT reports 5.1 build 2600 "Service Pack 3"; 9x reports 4.10 build
// 0x040A08AE " A ". Only the 148-byte record, or on NT also the 156-byte
// extended one, is accepted: otherwise FALSE with ERROR_INVALID_PARAMETER.
BOOL GetVersionExA(OSVERSIONINFOA* info);

}  // namespace win
