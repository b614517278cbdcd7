// The sector dumper: the library's line pieces, assembled quickly.
#include "tools/volumar/sector_dump.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "drw/hex_dump.h"
#include "platform/utf8.h"

namespace volumar_tool {
namespace {

constexpr std::size_t kRow = 16;
constexpr std::size_t kHexChars = 3 * kRow;

std::vector<std::u16string> lines_of(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
    lines.push_back(text.substr(start, at + 2 - start));
  return lines;
}

}  // namespace

SectorDumper::SectorDumper(std::size_t bytes_per_sector) : size_(bytes_per_sector) { tables_ = learn(); }

std::string SectorDumper::library_text(const std::uint8_t* sector) const {
  return win::utf16_to_utf8(
      volumar::hex_dump(std::span<const std::uint8_t>(sector, size_), static_cast<volumar::Long>(size_)));
}

// Reads the pieces off two library dumps: a sector of zeros (every row's
// offset text) and 256 bytes holding every byte value once.
bool SectorDumper::learn() {
  if (size_ == 0 || size_ % kRow != 0) return false;
  const std::vector<std::uint8_t> zeros(size_, 0);
  const auto zero_lines = lines_of(volumar::hex_dump(zeros, static_cast<volumar::Long>(size_)));
  if (zero_lines.size() != size_ / kRow) return false;
  const std::size_t tail = kHexChars + 1 + kRow + 2;  // hex, separator, row text, line end
  for (const auto& line : zero_lines) {
    if (line.size() <= tail) return false;
    prefix_.push_back(win::utf16_to_utf8(line.substr(0, line.size() - tail)));
  }

  std::vector<std::uint8_t> all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<std::uint8_t>(b);
  const auto lines = lines_of(volumar::hex_dump(all, 256));
  if (lines.size() != 256 / kRow) return false;
  for (std::size_t r = 0; r < lines.size(); ++r) {
    const auto& line = lines[r];
    if (line.size() <= tail) return false;
    const std::size_t hex_at = line.size() - tail;
    for (std::size_t k = 0; k < kRow; ++k) {
      const std::size_t b = r * kRow + k;
      for (std::size_t c = 0; c < 3; ++c) {
        const char16_t ch = line[hex_at + 3 * k + c];
        if (ch > 0x7F) return false;
        hex_[b][c] = static_cast<char>(ch);
      }
      char_[b] = win::utf16_to_utf8(line.substr(hex_at + kHexChars + 1 + k, 1));
    }
    if (r == 0) {
      separator_ = win::utf16_to_utf8(line.substr(hex_at + kHexChars, 1));
      line_end_ = win::utf16_to_utf8(line.substr(line.size() - 2));
    }
  }
  std::size_t widest_char = 0;
  for (const auto& c : char_) widest_char = std::max(widest_char, c.size());
  std::size_t widest_prefix = 0;
  for (const auto& p : prefix_) widest_prefix = std::max(widest_prefix, p.size());
  max_line_ = widest_prefix + kHexChars + separator_.size() + kRow * widest_char + line_end_.size();
  return true;
}

void SectorDumper::append(std::string& out, const std::uint8_t* sector) {
  if (!tables_) {
    out += library_text(sector);
    return;
  }
  const std::size_t start = out.size();
  out.resize(start + max_line_ * prefix_.size());
  char* p = out.data() + start;
  for (std::size_t r = 0; r < prefix_.size(); ++r) {
    const std::uint8_t* row = sector + r * kRow;
    std::memcpy(p, prefix_[r].data(), prefix_[r].size());
    p += prefix_[r].size();
    for (std::size_t k = 0; k < kRow; ++k) {
      std::memcpy(p, hex_[row[k]].data(), 3);
      p += 3;
    }
    std::memcpy(p, separator_.data(), separator_.size());
    p += separator_.size();
    for (std::size_t k = 0; k < kRow; ++k) {
      const std::string& c = char_[row[k]];
      std::memcpy(p, c.data(), c.size());
      p += c.size();
    }
    std::memcpy(p, line_end_.data(), line_end_.size());
    p += line_end_.size();
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

void SectorDumper::check(const std::uint8_t* sector) {
  if (!tables_) return;
  std::string fast;
  append(fast, sector);
  if (fast != library_text(sector)) tables_ = false;
}

}  // namespace volumar_tool
