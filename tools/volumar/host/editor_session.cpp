// The commands' sector editor on one drive.
#include "tools/volumar/host/editor_session.h"

#include <sys/stat.h>

#include <fstream>

#include "drw/drw_enumerations.h"
#include "format/boot_sector.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/family.h"
#include "rawio/read_sectors.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_journal.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"

namespace volumar_tool {

const std::string& section_name(int section) {
  // The library's own enumeration, in value order.
  return volumar::drw_enumerations().at(0).constants.at(static_cast<std::size_t>(section)).first;
}

int section_from_word(const std::string& word) {
  static const char* const words[kSectionCount] = {"mbr", "fat1", "fat2", "root", "data"};
  for (int i = 0; i < kSectionCount; ++i)
    if (word == words[i]) return i;
  return -1;
}

std::string progid_for(const std::string& name) {
  return name.find('.') == std::string::npos ? "Volumar10." + name : name;
}

std::string volume_size_note(char letter) {
  const auto mapping = win::DriveMap::find(letter);
  struct stat st {};
  if (!mapping || ::stat(mapping->path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::string note = " (";
  note.append(mapping->path).append(" holds ").append(std::to_string(st.st_size)).append(" bytes");
  if (mapping->offset) note.append("; the volume starts at byte ").append(std::to_string(*mapping->offset));
  if (mapping->length) note.append(mapping->offset ? " and is " : "; the volume is ");
  if (mapping->length) note.append(std::to_string(*mapping->length)).append(" bytes long");
  return note + ")";
}

namespace {

// Why the system names no file system on the volume: its boot sector,
// field by field, as a checker would report it.
std::string unrecognised_volume(char letter) {
  const volumar::SectorRead boot =
      volumar::ReadDriveSectors({512, volumar::DiskRequest::Extended}, drive_text(letter), 0, 0, 512);
  if (!boot.bytes || !boot.complete)
    return std::string("the volume's first sector cannot be read") + volume_size_note(letter);
  const auto fields = ondisk::decode_boot_sector(*boot.bytes);
  const auto problems = ondisk::boot_sector_problems(fields);
  // Only what looks like a boot sector is worth taking apart field by field.
  const bool looks_like_one = fields.signature == ondisk::boot::kSignatureValue ||
                              fields.jump == ondisk::boot::kJumpShort || fields.jump == ondisk::boot::kJumpNear;
  if (problems.empty() || !looks_like_one) return "not a FAT volume (the system does not recognise its file system)";
  std::string out = "not a FAT volume: its boot sector is damaged:";
  for (const auto& p : problems) out += "\n  " + p;
  return out +
         "\n(dump, write and fill still work by absolute sector with --raw; a FAT32 volume may be"
         " mended with `volumar boot restore`)";
}

}  // namespace

EditorSession::EditorSession(char letter) : letter_(letter), drive_(drive_text(letter)) {
  warn_about_interrupted_changes(letter);
  editor_ = win::create_object("Volumar10.clsQzVolmDrwA");
  clear_boxes();
  {
    PumpProgress progress("loading " + given_name(letter));
    put(u"DrivePP", win::Variant(drive_));
  }
  if (box_shown("Validation Fails")) fail(given_name(letter) + ": the drive cannot be selected");
  fs_type_ = utf8(win::to_string(get(u"VolumarPP")));
  if (fs_type_.empty()) fail(given_name(letter) + ": " + unrecognised_volume(letter));
  geometry_ = volumar::DriveInfo().Geometry;
  if (!is_fat()) return;
  for (int s = 0; s < kSectionCount; ++s) sections_[s] = section(s);
}

EditorSession::EditorSession(char letter, Raw) : letter_(letter), drive_(drive_text(letter)), raw_(true) {
  warn_about_interrupted_changes(letter);
  if (!win::is_nt_family())
    usage_error("--raw reads through the volume's device path, which the 9x family does not have (use --family nt)");
  geometry_.bytes_per_sector = 512;
  const auto held = held_bytes();
  if (!held) fail(given_name(letter) + ": the volume cannot be opened");
  geometry_.total_sectors = *held / 512;
}

std::optional<std::uint64_t> EditorSession::held_bytes() const {
  const auto mapping = win::DriveMap::find(letter_);
  if (!mapping || mapping->path.empty()) return std::nullopt;
  std::ifstream in(mapping->path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const auto end = static_cast<std::uint64_t>(in.tellg());
  const std::uint64_t base = mapping->offset.value_or(0);
  const std::uint64_t held = end > base ? end - base : 0;
  return mapping->length ? std::min(held, *mapping->length) : held;
}

bool EditorSession::write_sectors(std::int64_t first, const std::vector<std::uint8_t>& bytes) {
  const std::int64_t bps = bytes_per_sector();
  const auto count = static_cast<std::int64_t>(bytes.size()) / bps;
  if (raw_ || beyond_library_reach(first, count, bps))
    return write_far_sectors(letter_, static_cast<std::uint64_t>(first), bytes, static_cast<std::uint64_t>(bps));
  std::u16string exact;
  exact.reserve(bytes.size());
  for (std::uint8_t b : bytes) exact += win::ansi_char(b);
  put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(first)));
  put(u"DataPP", win::Variant(exact));
  return win::to_bool(call(u"WriteSectorData"));
}

namespace {
// A member that raised: "volumar: <member>: <description> (error N)".
template <typename Work>
auto naming_member(std::u16string_view name, Work work) {
  try {
    return work();
  } catch (const win::AutomationError& e) {
    fail(utf8(name) + ": " + ansi_to_utf8(e.description()) + " (error " + std::to_string(e.number()) + ")");
  }
}
}  // namespace

win::Variant EditorSession::get(std::u16string_view name) {
  return naming_member(name, [&] { return win::get_property(editor_, name); });
}

void EditorSession::put(std::u16string_view name, win::Variant value) {
  naming_member(name, [&] { win::put_property(editor_, name, std::move(value)); });
}

win::Variant EditorSession::call(std::u16string_view name, std::vector<win::Variant> args) {
  return naming_member(name, [&] { return win::call_method(editor_, name, std::move(args)); });
}

std::int64_t EditorSession::get_long(std::u16string_view name) { return win::to_long(get(name)); }

bool EditorSession::is_fat() const { return fs_type_ == "FAT12" || fs_type_ == "FAT16" || fs_type_ == "FAT32"; }

void EditorSession::require_fat() const {
  if (!is_fat()) fail(std::string(1, letter_) + ": not a FAT volume (file system " + fs_type_ + ")");
  if (!geometry_.is_fat() || geometry_.sectors_per_cluster == 0)
    fail(std::string(1, letter_) + ": the boot sector gives no usable geometry");
}

SectorRange EditorSession::section(int s) {
  put(u"DiskSectionPP", win::Variant(static_cast<std::int32_t>(s)));
  return {get_long(u"MinSectorPP"), get_long(u"MaxSectorPP")};
}

int EditorSession::section_of(std::int64_t sector) {
  for (int s = 0; s < kSectionCount; ++s)
    if (sections_[s].contains(sector)) return s;
  return -1;
}

void EditorSession::check_sectors(std::int64_t first, std::int64_t count) const {
  const std::int64_t total = total_sectors();
  if (count < 1) usage_error("the sector count must be at least 1");
  if (first < 0 || first >= total || count > total - first)
    usage_error("sector " + std::to_string(first < 0 || first >= total ? first : total) +
                " is outside the volume (sectors 0-" + std::to_string(total - 1) + ")");
}

void EditorSession::check_data_sector(std::int64_t sector) const {
  check_sectors(sector, 1);
  const auto& g = geometry_;
  if (!g.cluster_of(static_cast<std::uint64_t>(sector)))
    usage_error("sector " + std::to_string(sector) + " is not in a cluster of the data area (sectors " +
                std::to_string(g.first_data_sector) + "-" + std::to_string(g.sector_of(g.last_cluster() + 1) - 1) +
                ")");
}

void EditorSession::check_cluster(std::int64_t cluster) const {
  const auto& g = geometry_;
  if (cluster < 0 || !g.has_cluster(static_cast<std::uint64_t>(cluster)))
    usage_error("cluster " + std::to_string(cluster) + " is outside the volume (clusters " +
                std::to_string(g.kFirstDataCluster) + "-" + std::to_string(g.last_cluster()) + ")");
}

void EditorSession::unread(std::int64_t first, std::int64_t count) const {
  std::string why = "the image or device may be shorter than the volume";
  if (const auto held = held_bytes(); held && bytes_per_sector() > 0) {
    const auto sectors = static_cast<std::int64_t>(*held) / bytes_per_sector();
    if (first + count > sectors)
      why = sectors ? "the image ends after sector " + std::to_string(sectors - 1) : "the image holds no whole sector";
  }
  fail(std::string(1, letter_) + ": sectors " + std::to_string(first) + "-" + std::to_string(first + count - 1) +
       " could not be read whole (" + why + ")");
}

std::vector<std::uint8_t> EditorSession::read_sectors(std::int64_t first, std::int64_t count) const {
  if (raw_ || beyond_library_reach(first, count, bytes_per_sector())) {
    auto far = read_far_sectors(letter_, static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(count),
                                static_cast<std::uint64_t>(bytes_per_sector()));
    if (!far) unread(first, count);
    return std::move(*far);
  }
  auto read = volumar::ReadDriveSectors(volumar::DriveSectorAccess(), drive_, static_cast<std::int32_t>(first), 0,
                                        static_cast<std::int32_t>(count * bytes_per_sector()));
  if (!read.bytes) fail(std::string(1, letter_) + ": the volume cannot be opened for reading");
  // Bytes the volume did not deliver are no data to show or write back.
  if (!read.complete) unread(first, count);
  return std::move(*read.bytes);
}

}  // namespace volumar_tool
