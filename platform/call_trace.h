// Where every platform entry point ends: the one place that sets the
// last-error value and emits the call's trace line.
//
// Trace line format (stable): Name(arg, arg, ...) = result[ extra...][ error=N]
//   strings are C-quoted ("\\\\.\\C:"), handles and codes in hex (0x10),
//   BOOL results TRUE/FALSE, counts and sizes in decimal, records as
//   win::hex_bytes; " error=N" follows whenever the call left a non-zero
//   last-error value.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/win_types.h"

namespace win::detail {

// Sets the last error when given, then traces line() when tracing is on.
void complete(std::optional<DWORD> last_error, const std::function<std::string()>& line);

std::string quote(const char* text);   // "null" for nullptr
std::string hex(std::uint64_t value);  // 0x1f
std::string handle_text(HANDLE h);     // 0x10, INVALID_HANDLE_VALUE, NULL
inline const char* bool_text(BOOL b) { return b ? "TRUE" : "FALSE"; }
std::string access_text(DWORD access);            // GENERIC_READ|GENERIC_WRITE, 0
std::string disposition_text(DWORD disposition);  // OPEN_EXISTING, ...

}  // namespace win::detail
