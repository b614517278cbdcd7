// Little-endian field access over byte buffers: every on-disk and device
// record is read and written through these, never by casting structs.
#pragma once
#include <cstddef>
#include <cstdint>

namespace ondisk {

inline std::uint16_t le16(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
}
inline std::uint32_t le32(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::uint32_t>(p[at]) | (static_cast<std::uint32_t>(p[at + 1]) << 8) |
         (static_cast<std::uint32_t>(p[at + 2]) << 16) | (static_cast<std::uint32_t>(p[at + 3]) << 24);
}
inline std::uint64_t le64(const std::uint8_t* p, std::size_t at) {
  return static_cast<std::uint64_t>(le32(p, at)) | (static_cast<std::uint64_t>(le32(p, at + 4)) << 32);
}
inline void put_le16(std::uint8_t* p, std::size_t at, std::uint16_t v) {
  p[at] = static_cast<std::uint8_t>(v);
  p[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_le32(std::uint8_t* p, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put_le64(std::uint8_t* p, std::size_t at, std::uint64_t v) {
  put_le32(p, at, static_cast<std::uint32_t>(v));
  put_le32(p, at + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace ondisk
