// The two display forms of a sector's bytes: the 16-character row text and
// the hexadecimal dump line built around it.
#pragma once
#include <cstdint>
#include <span>

#include "frame/value_types.h"

namespace volumar {

inline constexpr Long kRowBytes = 16;
// A dump line: offset, " |", 16 × "XX ", "|", row text, CR LF.
inline constexpr std::size_t kDumpLineChars = 72;

// The 16 bytes from `offset` on as ANSI characters, each byte below 0x20
// shown as ".". Raises Subscript out of range (9) when any of them lies
// outside `bytes`, Overflow (6) when offset + 15 leaves the Long range.
String row_text(std::span<const std::uint8_t> bytes, Long offset);

// Appends the dump line of the row at `offset`; raises as row_text does.
void append_dump_line(String& out, std::span<const std::uint8_t> bytes, Long offset);

// One line per row offset 0, 16, 32, ... up to length - 1; the offsets
// count from the start of `bytes`.
String hex_dump(std::span<const std::uint8_t> bytes, Long length);

}  // namespace volumar
