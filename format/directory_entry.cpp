#include "format/directory_entry.h"

#include <algorithm>

#include "format/byte_order.h"
#include "format/padded_text.h"

namespace ondisk {

LabelSearch find_volume_label(std::span<const std::uint8_t> entries) {
  LabelSearch result;
  for (std::size_t at = 0; at + dirent::kSize <= entries.size(); at += dirent::kSize) {
    const std::uint8_t* e = entries.data() + at;
    if (e[dirent::kName] == dirent::kEndOfDirectory) {
      result.ended = true;
      return result;
    }
    if (e[dirent::kName] == dirent::kDeleted) continue;
    const std::uint8_t attr = e[dirent::kAttributes];
    if ((attr & dirent::kLongNameMask) == dirent::kLongName) continue;
    if ((attr & dirent::kVolumeLabel) && !(attr & dirent::kDirectory)) {
      std::string name(reinterpret_cast<const char*>(e + dirent::kName), 11);
      if (static_cast<std::uint8_t>(name[0]) == dirent::kEscapedE5) name[0] = static_cast<char>(dirent::kDeleted);
      result.label = without_padding(name);
      return result;
    }
  }
  return result;
}

void encode_file_entry(std::span<std::uint8_t> entry, std::span<const std::uint8_t> name11, std::uint8_t attributes,
                       std::uint32_t first_cluster, std::uint32_t size, std::uint16_t time, std::uint16_t date) {
  if (entry.size() < dirent::kSize || name11.size() < 11) return;
  std::uint8_t* e = entry.data();
  std::fill_n(e, dirent::kSize, std::uint8_t{0});
  std::copy_n(name11.begin(), 11, e + dirent::kName);
  e[dirent::kAttributes] = attributes;
  put_le16(e, dirent::kCreateTime, time);
  put_le16(e, dirent::kCreateDate, date);
  put_le16(e, dirent::kAccessDate, date);
  put_le16(e, dirent::kClusterHigh, static_cast<std::uint16_t>(first_cluster >> 16));
  put_le16(e, dirent::kWriteTime, time);
  put_le16(e, dirent::kWriteDate, date);
  put_le16(e, dirent::kClusterLow, static_cast<std::uint16_t>(first_cluster));
  put_le32(e, dirent::kFileSize, size);
}

void encode_label_entry(std::span<std::uint8_t> entry, const std::string& label, std::uint16_t time,
                        std::uint16_t date) {
  if (entry.size() < dirent::kSize) return;
  std::uint8_t* e = entry.data();
  std::fill_n(e, dirent::kSize, std::uint8_t{0});
  for (std::size_t i = 0; i < 11; ++i)
    e[dirent::kName + i] = i < label.size() ? static_cast<std::uint8_t>(label[i]) : ' ';
  e[dirent::kAttributes] = dirent::kVolumeLabel;
  put_le16(e, dirent::kWriteTime, time);
  put_le16(e, dirent::kWriteDate, date);
}

}  // namespace ondisk
