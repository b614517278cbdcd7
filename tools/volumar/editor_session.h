// One sector editor (Volumar10.clsQzVolmDrwA) on a selected drive, as the
// commands use it: created by ProgID, driven by name through dispatch, with
// the volume's geometry read back from its properties.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"

namespace volumar_tool {

inline constexpr int kSectionCount = 5;
// The names of DRWDiskSectionConstants, by value.
extern const char* const kSectionNames[kSectionCount];
// "mbr", "fat1", "fat2", "root", "data" -> 0..4; -1 for anything else.
int section_from_word(const std::string& word);

struct SectorRange {
  std::int64_t first = 0;
  std::int64_t last = -1;
  bool contains(std::int64_t s) const { return s >= first && s <= last; }
};

class EditorSession {
 public:
  // Creates the editor and stores the drive in DrivePP. A selection that the
  // library refuses (its boxes are printed) or that fails raises a ToolError.
  explicit EditorSession(char letter);

  const win::ObjectRef& editor() const { return editor_; }
  char letter() const { return letter_; }
  const std::u16string& drive() const { return drive_; }

  win::Variant get(std::u16string_view name);
  void put(std::u16string_view name, win::Variant value);
  win::Variant call(std::u16string_view name, std::vector<win::Variant> args = {});
  std::int64_t get_long(std::u16string_view name);

  const std::string& fs_type() const { return fs_type_; }
  bool is_fat() const;
  // Raises a ToolError unless the volume is FAT12, FAT16 or FAT32.
  void require_fat() const;

  // Stores the section in DiskSectionPP and reads its bounds back.
  SectorRange section(int section);
  // The section holding an absolute sector, -1 when none does.
  int section_of(std::int64_t sector);

  std::int64_t bytes_per_sector() const { return bytes_per_sector_; }
  std::int64_t sectors_per_cluster() const { return sectors_per_cluster_; }
  std::int64_t total_sectors() const { return total_sectors_; }
  std::int64_t data_start() const { return data_start_; }
  std::int64_t first_data_cluster() const { return first_data_cluster_; }
  std::int64_t last_cluster() const;
  std::int64_t cluster_of(std::int64_t sector) const;
  std::int64_t first_sector_of(std::int64_t cluster) const;

  // Usage errors for sectors and clusters outside the volume.
  void check_sectors(std::int64_t first, std::int64_t count) const;
  void check_data_sector(std::int64_t sector) const;
  void check_cluster(std::int64_t cluster) const;

  // Raw bytes of whole sectors through the library's sector reader.
  std::vector<std::uint8_t> read_sectors(std::int64_t first, std::int64_t count) const;

 private:
  char letter_;
  std::u16string drive_;
  win::ObjectRef editor_;
  std::string fs_type_;
  std::int64_t bytes_per_sector_ = 0, sectors_per_cluster_ = 0, total_sectors_ = 0;
  std::int64_t data_start_ = 0, first_data_cluster_ = 2;
  SectorRange sections_[kSectionCount];
};

// The ProgID of a class name given on the command line: a bare library class
// name gets "Volumar10." in front; a name with a dot is taken as it is.
std::string progid_for(const std::string& name);

}  // namespace volumar_tool
