// Dumps of sectors in the sector editor's hex-dump text (the text of
// SectorDataFormattedPP), fast enough for long ranges: the library's line
// pieces are turned into UTF-8 once, then each line is put together by
// table lookup with fixed-width stores.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace volumar_tool {

class SectorDumper {
 public:
  struct Style {
    bool crlf = true;  // the library's CR LF line ends; LF otherwise
    // DEL and the C1 controls shown as dots, which a terminal would obey.
    bool dots = false;
  };
  // bytes_per_sector must be a whole number of 16-byte rows.
  explicit SectorDumper(std::size_t bytes_per_sector, Style style);
  explicit SectorDumper(std::size_t bytes_per_sector) : SectorDumper(bytes_per_sector, Style{}) {}

  // Room write() needs for one sector: the longest dump plus the few bytes
  // its fixed-width stores may touch past the end.
  std::size_t room() const { return room_; }

  // Writes the dump of one sector (bytes_per_sector bytes), as UTF-8, at
  // `out`, which must have room() bytes; returns the end of the text.
  char* write(char* out, const std::uint8_t* sector) const;

  // Appends the dump of one sector, as UTF-8.
  void append(std::string& out, const std::uint8_t* sector) const;

 private:
  // A short UTF-8 text padded to a fixed width, stored whole and advanced
  // by its length.
  struct Piece {
    std::array<char, 16> bytes{};
    std::size_t size = 0;
  };
  static Piece piece(const std::string& text);

  std::vector<Piece> prefix_;              // per row: offset and " |"
  std::array<std::uint32_t, 256> hex_{};   // "XX " in the low three bytes
  std::array<std::uint32_t, 256> char_{};  // row character in UTF-8
  std::array<std::uint8_t, 256> char_size_{};
  Piece after_hex_, line_end_;
  std::size_t room_ = 0;
};

// hexdump -C's lines for `size` bytes that start at byte `offset` of the
// volume, and the line with the offset after them when `last`.
std::string canonical_dump(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size, bool last);

}  // namespace volumar_tool
