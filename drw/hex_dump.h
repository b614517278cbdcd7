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

// The character a byte shows as in row texts and dumps: its ANSI
// character, or "." below 0x20.
char16_t row_char(std::uint8_t byte);
// A dump line's offset: upper-case hex digits, at least three.
String offset_text(Long offset);
// A dump line's pieces around its offset, hex pairs and row text.
inline constexpr char16_t kDumpHexDigits[] = u"0123456789ABCDEF";
inline constexpr const char16_t* kDumpAfterOffset = u" |";
inline constexpr const char16_t* kDumpAfterHex = u"|";
inline constexpr const char16_t* kDumpLineEnd = u"\r\n";

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
