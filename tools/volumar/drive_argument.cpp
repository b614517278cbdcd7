// Parsing of drive mappings and DRIVE arguments.
#include "tools/volumar/drive_argument.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <vector>

#include "tools/volumar/tool_error.h"

namespace volumar_tool {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool starts_with_key(std::string_view piece, std::string_view key) {
  return piece.size() > key.size() && lower(piece.substr(0, key.size())) == key && piece[key.size()] == '=';
}

}  // namespace

std::uint64_t parse_byte_count(std::string_view text) {
  std::string_view digits = text;
  std::uint64_t scale = 1;
  if (!digits.empty()) {
    switch (std::toupper(static_cast<unsigned char>(digits.back()))) {
      case 'K': scale = 1024; break;
      case 'M': scale = 1024 * 1024; break;
      case 'G': scale = 1024ull * 1024 * 1024; break;
      default: break;
    }
    if (scale != 1) digits.remove_suffix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
      (scale != 1 && value > UINT64_MAX / scale))
    usage_error("not a byte count: '" + std::string(text) + "'");
  return value * scale;
}

win::DriveType parse_drive_type(std::string_view name) {
  const std::string n = lower(name);
  if (n == "removable") return win::DriveType::Removable;
  if (n == "fixed") return win::DriveType::Fixed;
  if (n == "remote") return win::DriveType::Remote;
  if (n == "cdrom") return win::DriveType::CDRom;
  if (n == "ramdisk") return win::DriveType::RAMDisk;
  usage_error("unknown drive type '" + std::string(name) + "' (Removable, Fixed, Remote, CDRom or RAMDisk)");
}

DriveMapping parse_drive_mapping(std::string_view text) {
  const auto eq = text.find('=');
  std::string_view letter_part = eq == std::string_view::npos ? text : text.substr(0, eq);
  if (eq == std::string_view::npos || !is_drive_letter_text(letter_part))
    usage_error("--drive wants L=PATH[,offset=BYTES][,length=BYTES][,folder=DIR][,type=NAME], not '" +
                std::string(text) + "'");
  DriveMapping mapping;
  mapping.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter_part[0])));

  // Pieces that are not a known option belong to the path, which may hold commas.
  std::vector<std::string_view> pieces;
  std::string_view rest = text.substr(eq + 1);
  for (;;) {
    const auto comma = rest.find(',');
    pieces.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  std::string path(pieces[0]);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::string_view p = pieces[i];
    const std::string_view value = p.substr(p.find('=') + 1);
    if (starts_with_key(p, "offset"))
      mapping.volume.offset = parse_byte_count(value);
    else if (starts_with_key(p, "length"))
      mapping.volume.length = parse_byte_count(value);
    else if (starts_with_key(p, "folder"))
      mapping.volume.folder = std::string(value);
    else if (starts_with_key(p, "type"))
      mapping.volume.type = parse_drive_type(value);
    else
      path += "," + std::string(p);
  }
  mapping.volume.path = path;
  if (mapping.volume.length && *mapping.volume.length == 0)
    usage_error("--drive " + std::string(1, mapping.letter) + ": length 0");
  return mapping;
}

bool is_drive_letter_text(std::string_view text) {
  if (text.empty() || text.size() > 3 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  if (text.size() >= 2 && text[1] != ':') return false;
  if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return false;
  return true;
}

std::u16string drive_text(char letter) { return {static_cast<char16_t>(letter), u':'}; }

char resolve_drive_argument(std::string_view text) {
  char letter = 0;
  if (is_drive_letter_text(text)) {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (!win::DriveMap::find(letter))
      usage_error(std::string(1, letter) + ": names no drive (map it with -d " + std::string(1, letter) +
                  "=IMAGE, or give the image's path)");
  } else {
    std::error_code ec;
    const std::filesystem::path path(text);
    if (!std::filesystem::exists(path, ec)) fail("no such image or device: " + std::string(text));
    const auto wanted = std::filesystem::weakly_canonical(path, ec);
    for (char l = 'C'; l <= 'Z' && !letter; ++l) {
      auto found = win::DriveMap::find(l);
      if (found && !found->offset && !found->length && !found->path.empty() &&
          std::filesystem::weakly_canonical(found->path, ec) == wanted)
        letter = l;
    }
    for (char l = 'C'; l <= 'Z' && !letter; ++l)
      if (!win::DriveMap::find(l)) {
        win::VolumeMapping mapping;
        mapping.path = std::string(text);
        win::DriveMap::map(l, mapping);
        letter = l;
      }
    if (!letter) fail("no free drive letter for " + std::string(text));
  }
  const auto mapping = win::DriveMap::find(letter);
  if (mapping->path.empty()) fail(std::string(1, letter) + ": has no raw volume (only a folder)");
  struct stat st {};
  if (::stat(mapping->path.c_str(), &st) != 0)
    fail(std::string(1, letter) + ": no such image or device: " + mapping->path);
  if (S_ISDIR(st.st_mode)) fail(std::string(1, letter) + ": " + mapping->path + " is a folder, not an image or device");
  return letter;
}

}  // namespace volumar_tool
