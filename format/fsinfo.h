// The FAT32 information sector: its signatures and the free-cluster count
// and next-free hint that systems keep there as advice.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace ondisk {

namespace fsinfo {
inline constexpr std::size_t kLeadSignature = 0;
inline constexpr std::size_t kStructSignature = 484;
inline constexpr std::size_t kFreeCount = 488;
inline constexpr std::size_t kNextFree = 492;
inline constexpr std::size_t kTrailSignature = 508;
inline constexpr std::size_t kRecordSize = 512;
inline constexpr std::uint32_t kLeadValue = 0x41615252;    // "RRaA"
inline constexpr std::uint32_t kStructValue = 0x61417272;  // "rrAa"
inline constexpr std::uint32_t kTrailValue = 0xAA550000;
inline constexpr std::uint32_t kUnknown = 0xFFFFFFFF;  // a count or hint the volume does not keep
}  // namespace fsinfo

struct FsInfo {
  bool valid = false;  // both leading signatures present
  std::uint32_t free_count = fsinfo::kUnknown;
  std::uint32_t next_free = fsinfo::kUnknown;
};

// A span shorter than the record reads as invalid.
FsInfo decode_fsinfo(std::span<const std::uint8_t> sector);
// Writes the signatures and both values into the first 512 bytes.
void encode_fsinfo(const FsInfo& info, std::span<std::uint8_t> sector);

}  // namespace ondisk
