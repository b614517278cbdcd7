// The platform's registry calls on Windows: each goes to the real advapi32.
// The host-side settings of the platform's own registry (its file, its
// memory hive, .reg import and export) have no counterpart here: the real
// system keeps its registry itself.
#include "platform/registry/registry.h"

#include <windows.h>

namespace {

::HKEY real(win::HKEY key) { return static_cast<::HKEY>(key); }
::PHKEY real(win::PHKEY key) { return reinterpret_cast<::PHKEY>(key); }
::LPDWORD real(win::LPDWORD p) { return reinterpret_cast<::LPDWORD>(p); }

}  // namespace

namespace win {

LONG RegCreateKeyA(HKEY key, LPCSTR sub, PHKEY result) { return ::RegCreateKeyA(real(key), sub, real(result)); }

LONG RegCreateKeyExA(HKEY key, LPCSTR sub, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam, const void* security,
                     PHKEY result, LPDWORD disposition) {
  return ::RegCreateKeyExA(real(key), sub, reserved, cls, options, sam,
                           const_cast<LPSECURITY_ATTRIBUTES>(static_cast<const SECURITY_ATTRIBUTES*>(security)),
                           real(result), real(disposition));
}

LONG RegOpenKeyA(HKEY key, LPCSTR sub, PHKEY result) { return ::RegOpenKeyA(real(key), sub, real(result)); }

LONG RegOpenKeyExA(HKEY key, LPCSTR sub, DWORD options, REGSAM sam, PHKEY result) {
  return ::RegOpenKeyExA(real(key), sub, options, sam, real(result));
}

LONG RegCloseKey(HKEY key) { return ::RegCloseKey(real(key)); }

LONG RegSetValueA(HKEY key, LPCSTR sub, DWORD type, LPCSTR data, DWORD size) {
  return ::RegSetValueA(real(key), sub, type, data, size);
}

LONG RegQueryValueA(HKEY key, LPCSTR sub, LPSTR data, PLONG size) {
  return ::RegQueryValueA(real(key), sub, data, reinterpret_cast<::PLONG>(size));
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  return ::RegSetValueExA(real(key), name, reserved, type, data, size);
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  return ::RegQueryValueExA(real(key), name, real(reserved), real(type), data, real(size));
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) { return ::RegDeleteValueA(real(key), name); }
LONG RegDeleteKeyA(HKEY key, LPCSTR sub) { return ::RegDeleteKeyA(real(key), sub); }
LONG RegDeleteTreeA(HKEY key, LPCSTR sub) { return ::RegDeleteTreeA(real(key), sub); }

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD size) { return ::RegEnumKeyA(real(key), index, name, size); }

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved, LPSTR cls, LPDWORD cls_size,
                   FILETIME* written) {
  return ::RegEnumKeyExA(real(key), index, name, real(name_size), real(reserved), cls, real(cls_size),
                         reinterpret_cast<::FILETIME*>(written));
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, LPDWORD reserved, LPDWORD type, LPBYTE data,
                   LPDWORD size) {
  return ::RegEnumValueA(real(key), index, name, real(name_size), real(reserved), real(type), data, real(size));
}

}  // namespace win
