// The sector dumper: the library's line pieces, assembled quickly.
#include "tools/volumar/host/sector_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "drw/hex_dump.h"
#include "platform/utf8.h"

namespace volumar_tool {
namespace {
constexpr std::size_t kRow = 16;
// Stores write 16 bytes for a piece and 4 for a hex pair or character.
constexpr std::size_t kOverrun = 16;
}  // namespace

SectorDumper::Piece SectorDumper::piece(const std::string& text) {
  Piece p;
  if (text.size() > p.bytes.size()) throw std::invalid_argument("a dump line piece is too long");
  std::memcpy(p.bytes.data(), text.data(), text.size());
  p.size = text.size();
  return p;
}

SectorDumper::SectorDumper(std::size_t bytes_per_sector, Style style) {
  if (bytes_per_sector == 0 || bytes_per_sector % kRow != 0)
    throw std::invalid_argument("the sector size is not a whole number of 16-byte rows");
  std::size_t widest_prefix = 0;
  for (std::size_t at = 0; at < bytes_per_sector; at += kRow) {
    prefix_.push_back(
        piece(win::utf16_to_utf8(volumar::offset_text(static_cast<volumar::Long>(at)) + volumar::kDumpAfterOffset)));
    widest_prefix = std::max(widest_prefix, prefix_.back().size);
  }
  std::size_t widest_char = 0;
  for (int b = 0; b < 256; ++b) {
    const char pair[4] = {static_cast<char>(volumar::kDumpHexDigits[b >> 4]),
                          static_cast<char>(volumar::kDumpHexDigits[b & 15]), ' ', 0};
    std::memcpy(&hex_[b], pair, 4);
    const char16_t shown = volumar::row_char(static_cast<std::uint8_t>(b));
    const bool control = shown < 0x20 || (shown >= 0x7F && shown < 0xA0);
    const std::string c = style.dots && control ? "." : win::utf16_to_utf8(std::u16string(1, shown));
    if (c.size() > sizeof char_[b]) throw std::invalid_argument("a row character is too long");
    std::memcpy(&char_[b], c.data(), c.size());
    char_size_[b] = static_cast<std::uint8_t>(c.size());
    widest_char = std::max(widest_char, c.size());
  }
  after_hex_ = piece(win::utf16_to_utf8(volumar::kDumpAfterHex));
  line_end_ = piece(style.crlf ? win::utf16_to_utf8(volumar::kDumpLineEnd) : std::string("\n"));
  const std::size_t max_line = widest_prefix + 3 * kRow + after_hex_.size + kRow * widest_char + line_end_.size;
  room_ = max_line * prefix_.size() + kOverrun;
}

char* SectorDumper::write(char* p, const std::uint8_t* sector) const {
  for (const Piece& prefix : prefix_) {
    std::memcpy(p, prefix.bytes.data(), prefix.bytes.size());
    p += prefix.size;
    for (std::size_t k = 0; k < kRow; ++k) {
      std::memcpy(p, &hex_[sector[k]], 4);
      p += 3;
    }
    std::memcpy(p, after_hex_.bytes.data(), after_hex_.bytes.size());
    p += after_hex_.size;
    for (std::size_t k = 0; k < kRow; ++k) {
      std::memcpy(p, &char_[sector[k]], 4);
      p += char_size_[sector[k]];
    }
    std::memcpy(p, line_end_.bytes.data(), line_end_.bytes.size());
    p += line_end_.size;
    sector += kRow;
  }
  return p;
}

void SectorDumper::append(std::string& out, const std::uint8_t* sector) const {
  const std::size_t start = out.size();
  out.resize(start + room_);
  char* end = write(out.data() + start, sector);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

std::string canonical_dump(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size, bool last) {
  std::string out;
  char field[24];
  for (std::size_t row = 0; row < size; row += kRow) {
    std::snprintf(field, sizeof field, "%08llx ", static_cast<unsigned long long>(offset) + row);
    out += field;
    std::string text = "|";
    for (std::size_t k = 0; k < kRow; ++k) {
      if (k == 8) out += ' ';
      if (row + k >= size) {
        out += "   ";
        continue;
      }
      const std::uint8_t b = bytes[row + k];
      std::snprintf(field, sizeof field, " %02x", b);
      out += field;
      text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
    }
    out += "  " + text + "|\n";
  }
  if (last) {
    std::snprintf(field, sizeof field, "%08llx\n", static_cast<unsigned long long>(offset) + size);
    out += field;
  }
  return out;
}

}  // namespace volumar_tool
