// Parsing of drive mappings and DRIVE arguments.
#include "tools/volumar/host/drive_argument.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <vector>

#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/partition_table.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

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

std::vector<std::string_view> split_at_commas(std::string_view rest) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const auto comma = rest.find(',');
    pieces.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) return pieces;
    rest.remove_prefix(comma + 1);
  }
}

// Where the volume lies on the disk, as the mapping's text gives it.
struct Placement {
  std::optional<std::string_view> offset;
  std::optional<std::string_view> length;
  std::optional<std::string_view> partition;
};

int parse_partition_number(std::string_view text) {
  int number = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || number < 1)
    usage_error("partition= wants a partition number from 1, not '" + std::string(text) + "'");
  return number;
}

void place_volume(DriveMapping& mapping, const Placement& where) {
  win::VolumeMapping& volume = mapping.volume;
  const std::string name = "--drive " + std::string(1, mapping.letter);
  if (where.partition) {
    if (where.offset || where.length)
      usage_error(name + ": partition= places the volume itself; give it without offset= and length=");
    map_partition(volume, parse_partition_number(*where.partition));
    return;
  }
  // A sector is the disk's own: asking a block device for its size is only
  // worth it when a count is given.
  const std::uint64_t sector = where.offset || where.length ? disk_sector_size(volume.path) : 512;
  if (where.offset) volume.offset = parse_byte_count(*where.offset, sector);
  if (where.length) volume.length = parse_byte_count(*where.length, sector);
  if (volume.length && *volume.length == 0) usage_error(name + ": length 0");
}

// Reading or writing past the end of the image would fail or grow the
// file; what is there stays readable.
void cut_at_disk_end(win::VolumeMapping& volume, const PartitionTable& table, const Partition& chosen) {
  const std::uint64_t end = chosen.offset + chosen.length;
  if (end <= table.disk_bytes) return;
  const std::string which = "partition " + std::to_string(chosen.number) + " of " + table.path;
  if (chosen.offset >= table.disk_bytes)
    fail(which + " starts at byte " + std::to_string(chosen.offset) + ", past the end of the disk (" +
         std::to_string(table.disk_bytes) + " bytes)");
  const std::uint64_t beyond = end - table.disk_bytes;
  volume.length = table.disk_bytes - chosen.offset;
  volume.read_only = true;
  std::fprintf(stderr,
               "volumar: warning: %s reaches %llu bytes (%llu sectors) past the end of the disk; it is mapped "
               "read-only, cut to the %llu bytes the disk holds of it\n",
               which.c_str(), static_cast<unsigned long long>(beyond),
               static_cast<unsigned long long>(beyond / table.sector_size),
               static_cast<unsigned long long>(*volume.length));
}

// The library would take the disk's first sector for a boot sector; an
// explicit offset (0 included) is left alone, as a way to reach the whole disk.
void refuse_partitioned_disk(char letter, const win::VolumeMapping& volume) {
  if (volume.offset) return;
  const auto table = read_partition_table(volume.path);
  if (!table) return;
  fail(volume.path + " is a whole disk with a partition table (" + scheme_name(table->scheme) +
       "), not a FAT volume; use --partition N or -d " + std::string(1, letter) + "=" + volume.path +
       ",partition=N:\n" + partition_listing(*table));
}

char named_letter(const DriveArgument& drive) {
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive.text[0])));
  if (drive.partition)
    usage_error("--partition goes with the path of a disk; for a letter map it with -d " + std::string(1, letter) +
                "=PATH,partition=N");
  if (!win::DriveMap::find(letter))
    usage_error(std::string(1, letter) + ": names no drive (map it with -d " + std::string(1, letter) +
                "=IMAGE, or give the image's path)");
  return letter;
}

char letter_mapped_to(const win::VolumeMapping& wanted) {
  std::error_code ec;
  const auto path = std::filesystem::weakly_canonical(wanted.path, ec);
  for (char l = 'C'; l <= 'Z'; ++l) {
    const auto found = win::DriveMap::find(l);
    if (found && !found->path.empty() && found->offset == wanted.offset && found->length == wanted.length &&
        std::filesystem::weakly_canonical(found->path, ec) == path)
      return l;
  }
  return 0;
}

char letter_for_path(const DriveArgument& drive) {
  require_image_or_device(drive.text, "");
  win::VolumeMapping wanted;
  wanted.path = drive.text;
  if (drive.partition) map_partition(wanted, *drive.partition);
  if (const char letter = letter_mapped_to(wanted)) return letter;
  for (char l = 'C'; l <= 'Z'; ++l)
    if (!win::DriveMap::find(l)) {
      win::DriveMap::map(l, wanted);
      return l;
    }
  fail("no free drive letter for " + drive.text);
}

void check_raw_volume(char letter) {
  const auto mapping = win::DriveMap::find(letter);
  if (mapping->path.empty()) fail(std::string{letter, ':'} + " has no raw volume (only a folder)");
  require_image_or_device(mapping->path, "");
  refuse_partitioned_disk(letter, *mapping);
}

}  // namespace

const char* unusable_file_kind(unsigned mode) {
  if (S_ISREG(mode) || S_ISBLK(mode)) return nullptr;
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode)) return "a character device";
  return "no regular file";
}

void require_image_or_device(const std::string& path, const std::string& who) {
  if (const std::string why = unusable_name(path); !why.empty()) usage_error(who + "the path " + why);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) fail(who + "no such image or device: " + path);
    fail(who + path + " cannot be opened: " + std::strerror(errno));
  }
  if (const char* kind = unusable_file_kind(st.st_mode)) fail(who + path + " is " + kind + ", not an image or device");
  // Non-blocking: a device without its medium must answer, not wait.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail(who + path + " cannot be opened: " + std::strerror(errno));
  ::close(fd);
}

std::uint64_t parse_byte_count(std::string_view text, std::uint64_t sector_size) {
  struct Unit {
    std::string_view suffix;
    std::uint64_t scale;
  };
  // The longer suffixes first, so that "KiB" is not read as digits then "B".
  const Unit units[] = {{"kib", 1ull << 10}, {"mib", 1ull << 20}, {"gib", 1ull << 30}, {"k", 1ull << 10},
                        {"m", 1ull << 20},   {"g", 1ull << 30},   {"s", sector_size}};
  std::string_view digits = text;
  std::uint64_t scale = 1;
  const std::string low = lower(text);
  for (const Unit& unit : units)
    if (low.size() > unit.suffix.size() && low.ends_with(unit.suffix)) {
      scale = unit.scale;
      digits.remove_suffix(unit.suffix.size());
      break;
    }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
      (scale > 1 && value > UINT64_MAX / scale))
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
    usage_error("--drive wants L=PATH[,partition=N][,offset=BYTES][,length=BYTES][,folder=DIR][,type=NAME], not '" +
                std::string(text) + "'");
  DriveMapping mapping;
  mapping.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter_part[0])));

  // Pieces that are not a known option belong to the path, which may hold commas.
  const std::vector<std::string_view> pieces = split_at_commas(text.substr(eq + 1));
  std::string path(pieces[0]);
  Placement where;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::string_view p = pieces[i];
    const std::string_view value = p.substr(p.find('=') + 1);
    if (starts_with_key(p, "offset"))
      where.offset = value;
    else if (starts_with_key(p, "length"))
      where.length = value;
    else if (starts_with_key(p, "partition"))
      where.partition = value;
    else if (starts_with_key(p, "folder"))
      mapping.volume.folder = std::string(value);
    else if (starts_with_key(p, "type"))
      mapping.volume.type = parse_drive_type(value);
    else
      path += "," + std::string(p);
  }
  if (path.empty() && mapping.volume.folder.empty())
    usage_error("--drive " + std::string(text) + ": no image or device after '='");
  mapping.volume.path = path;
  place_volume(mapping, where);
  return mapping;
}

void map_partition(win::VolumeMapping& volume, int number) {
  require_image_or_device(volume.path, "");
  const auto table = read_partition_table(volume.path);
  const std::string which = "partition " + std::to_string(number);
  if (!table) usage_error(volume.path + " has no partition table (MBR or GPT), so no " + which);
  const Partition* chosen = table->find(number);
  if (!chosen) usage_error(volume.path + " has no " + which + "; its partitions are:\n" + partition_listing(*table));
  if (chosen->extended)
    usage_error(which + " of " + volume.path +
                " is an extended partition, which only holds the logical partitions (5 and on):\n" +
                partition_listing(*table));
  volume.offset = chosen->offset;
  volume.length = chosen->length;
  cut_at_disk_end(volume, *table, *chosen);
}

bool is_drive_letter_text(std::string_view text) {
  if (text.empty() || text.size() > 3 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  if (text.size() >= 2 && text[1] != ':') return false;
  if (text.size() == 3 && text[2] != '\\' && text[2] != '/') return false;
  return true;
}

std::u16string drive_text(char letter) { return {static_cast<char16_t>(letter), u':'}; }

void add_drive_argument(CLI::App& command, DriveArgument& drive) {
  command.add_option("DRIVE", drive.text, "Drive letter or image path")->required();
  command
      .add_option_function<int>(
          "--partition", [&drive](const int& number) { drive.partition = number; },
          "Partition N of the whole-disk image or device DRIVE (MBR or GPT; logical partitions from 5)")
      ->type_name("N")
      ->check(whole_number(1, std::numeric_limits<int>::max()));
}

void add_raw_flag(CLI::App& command, bool& raw) {
  command.add_flag("--raw", raw,
                   "Sectors of 512 bytes by absolute number, without decoding the boot sector (for a volume whose\n"
                   "boot sector is damaged)");
}

char resolve_drive_argument(std::string_view text) {
  return resolve_drive_argument(DriveArgument{std::string(text), std::nullopt});
}

namespace {
// What the user named each letter's drive by, for messages.
std::map<char, std::string>& given_names() {
  static std::map<char, std::string> names;
  return names;
}
}  // namespace

char resolve_drive_argument(const DriveArgument& drive) {
  const bool by_letter = is_drive_letter_text(drive.text);
  const char letter = by_letter ? named_letter(drive) : letter_for_path(drive);
  std::string name = by_letter ? std::string{letter, ':'} : drive.text;
  if (drive.partition) name += " partition " + std::to_string(*drive.partition);
  given_names()[letter] = name;
  check_raw_volume(letter);
  return letter;
}

std::string given_name(char letter) {
  const auto found = given_names().find(letter);
  return found != given_names().end() ? found->second : std::string{letter, ':'};
}

}  // namespace volumar_tool
