// Whole sectors of a mapped volume at byte positions of 2 GiB and more. The
// library's NT sector access stops there (its positions are 32-bit, as the
// component was made); the commands reach every sector of any volume through
// the platform's 64-bit file positions instead, with the same locks, flush
// and undo journal as every other write.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace volumar_tool {

// Whether sectors [first, first + count) of bps bytes end past the library's
// reach on this family (the 9x requests count sectors and reach them all).
bool beyond_library_reach(std::int64_t first, std::int64_t count, std::int64_t bps);

// The bytes, all of them; nullopt when the volume does not open or delivers
// less.
std::optional<std::vector<std::uint8_t>> read_far_sectors(char letter, std::uint64_t first, std::uint64_t count,
                                                          std::uint64_t bps);

// Writes the bytes at a byte position of the volume, under the range's
// lock; true when every byte reached the volume and was flushed.
bool write_volume_bytes(char letter, std::uint64_t position, const std::vector<std::uint8_t>& bytes);

// Writes whole sectors from `first`.
inline bool write_far_sectors(char letter, std::uint64_t first, const std::vector<std::uint8_t>& bytes,
                              std::uint64_t bps) {
  return write_volume_bytes(letter, first * bps, bytes);
}

}  // namespace volumar_tool
