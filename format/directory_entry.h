// The 32-byte directory entry: its fields, attribute bits and the marks in
// its first byte, and the volume-label entry that systems report as a
// volume's label.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ondisk {

namespace dirent {
inline constexpr std::size_t kSize = 32;
inline constexpr std::size_t kName = 0;  // 11 bytes, 8.3 padded with spaces
inline constexpr std::size_t kAttributes = 11;
inline constexpr std::size_t kCreateTime = 14;
inline constexpr std::size_t kCreateDate = 16;
inline constexpr std::size_t kAccessDate = 18;
inline constexpr std::size_t kClusterHigh = 20;
inline constexpr std::size_t kWriteTime = 22;
inline constexpr std::size_t kWriteDate = 24;
inline constexpr std::size_t kClusterLow = 26;
inline constexpr std::size_t kFileSize = 28;

inline constexpr std::uint8_t kEndOfDirectory = 0x00;  // first name byte: no entry here or after
inline constexpr std::uint8_t kDeleted = 0xE5;
inline constexpr std::uint8_t kEscapedE5 = 0x05;  // a name that really starts with 0xE5

inline constexpr std::uint8_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kVolumeLabel = 0x08, kDirectory = 0x10,
                              kArchive = 0x20;
inline constexpr std::uint8_t kLongNameMask = 0x3F, kLongName = 0x0F;
}  // namespace dirent

// What a search of directory entries found: the label, or that the
// directory ended before one.
struct LabelSearch {
  std::optional<std::string> label;  // trailing spaces removed
  bool ended = false;
};

// Looks through whole entries of a directory's bytes for the volume label.
LabelSearch find_volume_label(std::span<const std::uint8_t> entries);

// Writes a file entry: the 11-byte 8.3 name, attributes, first cluster and
// size, every time stamp `time` and `date`.
void encode_file_entry(std::span<std::uint8_t> entry, std::span<const std::uint8_t> name11, std::uint8_t attributes,
                       std::uint32_t first_cluster, std::uint32_t size, std::uint16_t time, std::uint16_t date);

// Writes a label entry (attribute volume label, no cluster).
void encode_label_entry(std::span<std::uint8_t> entry, const std::string& label, std::uint16_t time,
                        std::uint16_t date);

}  // namespace ondisk
