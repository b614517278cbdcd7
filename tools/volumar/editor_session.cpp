// The commands' sector editor on one drive.
#include "tools/volumar/editor_session.h"

#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "rawio/read_sectors.h"
#include "tools/volumar/drive_argument.h"
#include "tools/volumar/message_box_printer.h"
#include "tools/volumar/progress_bar.h"
#include "tools/volumar/text.h"
#include "tools/volumar/tool_error.h"

namespace volumar_tool {

const char* const kSectionNames[kSectionCount] = {
    "drwDiskSectionMBR", "drwDiskSectionFATCopy1", "drwDiskSectionFATCopy2", "drwDiskSectionRootDirectory",
    "drwDiskSectionDataEntry"};

int section_from_word(const std::string& word) {
  static const char* const words[kSectionCount] = {"mbr", "fat1", "fat2", "root", "data"};
  for (int i = 0; i < kSectionCount; ++i)
    if (word == words[i]) return i;
  return -1;
}

std::string progid_for(const std::string& name) {
  return name.find('.') == std::string::npos ? "Volumar10." + name : name;
}

EditorSession::EditorSession(char letter) : letter_(letter), drive_(drive_text(letter)) {
  editor_ = win::create_object("Volumar10.clsQzVolmDrwA");
  clear_boxes();
  {
    PumpProgress progress(std::string("loading ") + letter + ":");
    put(u"DrivePP", win::Variant(drive_));
  }
  if (box_shown("Validation Fails")) fail(std::string(1, letter) + ": the drive cannot be selected");
  fs_type_ = utf8(win::to_string(get(u"VolumarPP")));
  if (fs_type_.empty())
    fail(std::string(1, letter) + ": not a FAT volume (the system does not recognise its file system)");
  bytes_per_sector_ = get_long(u"BytesPerSectorPP");
  sectors_per_cluster_ = get_long(u"SectorsPerClusterPP");
  total_sectors_ = get_long(u"TotalSectorsPP");
  if (!is_fat()) return;
  for (int s = 0; s < kSectionCount; ++s) sections_[s] = section(s);
  data_start_ = sections_[4].first;
  if (fs_type_ == "FAT32") {
    const auto boot = read_sectors(0, 1);
    first_data_cluster_ = boot[44] | boot[45] << 8 | boot[46] << 16 | static_cast<std::int64_t>(boot[47]) << 24;
  }
}

win::Variant EditorSession::get(std::u16string_view name) { return win::get_property(editor_, name); }

void EditorSession::put(std::u16string_view name, win::Variant value) {
  win::put_property(editor_, name, std::move(value));
}

win::Variant EditorSession::call(std::u16string_view name, std::vector<win::Variant> args) {
  return win::call_method(editor_, name, std::move(args));
}

std::int64_t EditorSession::get_long(std::u16string_view name) { return win::to_long(get(name)); }

bool EditorSession::is_fat() const { return fs_type_ == "FAT12" || fs_type_ == "FAT16" || fs_type_ == "FAT32"; }

void EditorSession::require_fat() const {
  if (!is_fat()) fail(std::string(1, letter_) + ": not a FAT volume (file system " + fs_type_ + ")");
  if (bytes_per_sector_ <= 0 || sectors_per_cluster_ <= 0)
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

std::int64_t EditorSession::last_cluster() const {
  if (sectors_per_cluster_ <= 0) return first_data_cluster_ - 1;
  return first_data_cluster_ + (total_sectors_ - data_start_) / sectors_per_cluster_ - 1;
}

std::int64_t EditorSession::cluster_of(std::int64_t sector) const {
  return (sector - data_start_) / sectors_per_cluster_ + first_data_cluster_;
}

std::int64_t EditorSession::first_sector_of(std::int64_t cluster) const {
  return data_start_ + (cluster - first_data_cluster_) * sectors_per_cluster_;
}

void EditorSession::check_sectors(std::int64_t first, std::int64_t count) const {
  if (count < 1) usage_error("the sector count must be at least 1");
  if (first < 0 || first >= total_sectors_ || count > total_sectors_ - first)
    usage_error("sector " + std::to_string(first < 0 || first >= total_sectors_ ? first : total_sectors_) +
                " is outside the volume (sectors 0-" + std::to_string(total_sectors_ - 1) + ")");
}

void EditorSession::check_data_sector(std::int64_t sector) const {
  check_sectors(sector, 1);
  if (sector < data_start_ || cluster_of(sector) > last_cluster())
    usage_error("sector " + std::to_string(sector) + " is not in a cluster of the data area (sectors " +
                std::to_string(data_start_) + "-" + std::to_string(first_sector_of(last_cluster() + 1) - 1) + ")");
}

void EditorSession::check_cluster(std::int64_t cluster) const {
  if (cluster < first_data_cluster_ || cluster > last_cluster())
    usage_error("cluster " + std::to_string(cluster) + " is outside the volume (clusters " +
                std::to_string(first_data_cluster_) + "-" + std::to_string(last_cluster()) + ")");
}

std::vector<std::uint8_t> EditorSession::read_sectors(std::int64_t first, std::int64_t count) const {
  const auto bytes = volumar::ReadDriveSectors(drive_, static_cast<std::int32_t>(first), 0,
                                               static_cast<std::int32_t>(count * bytes_per_sector_));
  if (!bytes) fail(std::string(1, letter_) + ": the volume cannot be opened for reading");
  return *bytes;
}

}  // namespace volumar_tool
