// The fixed-width texts of FAT records (names, labels, type texts) are
// padded with spaces, sometimes with zeros: their value without the padding.
#pragma once
#include <string>

namespace ondisk {

inline std::string without_padding(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace ondisk
