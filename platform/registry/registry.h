// The registry in the shape of advapi32: keys, values and open key handles,
// kept in a store the host chooses (in memory until it names a file).
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace win {

using REGSAM = DWORD;
using PHKEY = HKEY*;
using LPDWORD = DWORD*;
using PLONG = LONG*;
using LPBYTE = BYTE*;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// Predefined keys, sign-extended as the system's headers make them.
inline const HKEY HKEY_CLASSES_ROOT =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000000u)));
inline const HKEY HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000001u)));
inline const HKEY HKEY_LOCAL_MACHINE =
    reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(0x80000002u)));

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

// Access rights.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM DELETE = 0x00010000;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM WRITE_DAC = 0x00040000;
inline constexpr REGSAM WRITE_OWNER = 0x00080000;
inline constexpr REGSAM SYNCHRONIZE = 0x00100000;
inline constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
inline constexpr REGSAM KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
inline constexpr REGSAM KEY_EXECUTE = KEY_READ;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// RegCreateKeyExA options and dispositions.
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Status codes the registry returns beyond those of win_types.h.
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_BAD_PATHNAME = 161;
inline constexpr DWORD ERROR_NOACCESS = 998;
inline constexpr DWORD ERROR_BADDB = 1009;
inline constexpr DWORD ERROR_BADKEY = 1010;
inline constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr DWORD ERROR_REGISTRY_IO_FAILED = 1016;

// Status codes are returned, never stored as the last error (as the system does).
//
// String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) passes through the ANSI code
// page and is kept as UTF-16, so sizes seen here count ANSI bytes. A string set
// without its terminating NUL counted gets it counted when the byte just past
// cbData is a NUL, as NT does: such data must be readable one byte past cbData.

// Key and value names holding CR or LF are refused with ERROR_INVALID_NAME when
// they would be stored: the .reg text has no way to write them.

// Full access. An empty or null lpSubKey hands back hKey itself.
LONG RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
// lpClass is not kept; lpSecurityAttributes must be null or is ignored;
// only non-volatile keys are supported.
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                     const void* lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition);
// Full access. An empty or null lpSubKey hands back hKey itself.
LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
// An empty or null lpSubKey hands back a predefined hKey itself, else a new handle.
LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCloseKey(HKEY hKey);

// Sets the default value of hKey or of its subkey lpSubKey (created if needed)
// to the NUL-terminated text lpData; dwType must be REG_SZ; cbData is ignored.
LONG RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData);
// The default value of hKey or of its existing subkey; a key whose default
// value was never set gives "".
LONG RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
// lpData null asks for the size only. A buffer too small gives ERROR_MORE_DATA
// with the size needed in *lpcbData.
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Fails with ERROR_ACCESS_DENIED when the key has subkeys. lpSubKey "" deletes hKey's key.
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes lpSubKey with everything below it; a null lpSubKey empties hKey's
// key of values and subkeys but keeps it.
LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);

// Subkeys are enumerated in the order of their names compared without case;
// values in the order they were first set.
LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                   LPDWORD lpcchClass, FILETIME* lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);

// Host configuration. Switching stores invalidates every open handle.
// The file is created when missing; false when it cannot be opened or is not
// a registry file (the current store then stays).
bool registry_use_file(const std::filesystem::path& path);
// A fresh, empty hive in memory.
void registry_use_memory();
// Leaves the choice of store to the first call that needs one, so that a host
// which may never touch the registry creates no file: `open` runs then, once,
// and chooses with registry_use_file or registry_use_memory. When it returns
// false, that call and every later one fail with ERROR_REGISTRY_IO_FAILED.
// `open` makes no other registry call.
void registry_open_when_needed(std::function<bool()> open);

// The last time the store's medium failed a call (a file that refused a write
// or is damaged, or a store that could not be opened when needed), in the
// medium's own words, for a host that wants to say why a member stored
// nothing. serial counts such failures; 0 while there were none.
struct RegistryStoreFailure {
  LONG status = 0;
  std::string detail;
  std::uint64_t serial = 0;
};
RegistryStoreFailure registry_store_failure();

// .reg text (version 5.00) of `key_path` and everything below it: a root name
// such as "HKEY_CLASSES_ROOT" with an optional "\sub\key", or "" for every root.
// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG registry_export(std::string_view key_path, std::u16string& text);
// Writes that text as UTF-16LE with a byte-order mark, as the registry editor does.
LONG registry_export_file(std::string_view key_path, const std::filesystem::path& file);
// Applies a .reg text (version 5.00 or REGEDIT4) as one transaction: nothing is
// written when a line cannot be parsed (ERROR_INVALID_DATA, *error_line set when given).
LONG registry_import(std::u16string_view text, std::size_t* error_line = nullptr);
// Reads UTF-16LE (with its byte-order mark), UTF-8 or ANSI files.
LONG registry_import_file(const std::filesystem::path& file, std::size_t* error_line = nullptr);

}  // namespace win
