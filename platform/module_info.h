// Modules loaded in the process (the executable and its shared objects):
// handles, file names, and loading by name, in the shape of kernel32.
#pragma once
#include "platform/win_types.h"

namespace win {

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;

inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x1;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

// A module handle is the address at which the module's image begins.
//
// Names are matched without case against the file names of loaded modules.
// A name without an extension means "name.dll"; "x.dll" names a shared
// object "libx.so", "x.so" or one of their versioned forms ("libx.so.1");
// "x.so" also names its versioned forms; "x.exe" also an executable file
// "x". A name with a path separator must match the module's full path.
// Null names the executable.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is an address
// inside the module. Reference counts are not kept, so the pin and
// unchanged-refcount flags change nothing.
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
// The module's full path in the ANSI code page; the null handle gives the
// executable's. A path of nSize characters or more is cut to nSize
// characters without a terminating NUL, and the result is nSize with
// ERROR_INSUFFICIENT_BUFFER as the last error.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// Loads a shared object by path (or by name along the system's search path).
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
BOOL FreeLibrary(HMODULE hLibModule);

}  // namespace win
