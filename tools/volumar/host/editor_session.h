// One sector editor (Volumar10.clsQzVolmDrwA) on a selected drive, as the
// commands use it: created by ProgID, driven by name through dispatch, with
// the volume's layout taken from the library's one geometry value.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/dispatch.h"
#include "volume/volume_geometry.h"

namespace volumar_tool {

inline constexpr int kSectionCount = 5;
// The name of a DRWDiskSectionConstants value.
const std::string& section_name(int section);
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
  // Raw mode: no editor and no selection, for a volume whose boot sector
  // does not decode. Sectors of 512 bytes, as many as the image holds; every
  // read and write goes through the platform's positions.
  struct Raw {};
  EditorSession(char letter, Raw);
  bool raw() const { return raw_; }

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

  // The selected volume's layout, as the library computed it.
  const volumar::VolumeGeometry& geometry() const { return geometry_; }
  std::int64_t bytes_per_sector() const { return geometry_.bytes_per_sector; }
  std::int64_t total_sectors() const { return static_cast<std::int64_t>(geometry_.total_sectors); }
  // Bytes the image or device holds for the volume; nullopt when unknown.
  std::optional<std::uint64_t> held_bytes() const;

  // Whole sectors, written through the library below its 2 GiB reach and
  // through the platform beyond it and in raw mode. True when all arrived.
  bool write_sectors(std::int64_t first, const std::vector<std::uint8_t>& bytes);

  // Usage errors for sectors and clusters outside the volume.
  void check_sectors(std::int64_t first, std::int64_t count) const;
  void check_data_sector(std::int64_t sector) const;
  void check_cluster(std::int64_t cluster) const;

  // Raw bytes of whole sectors through the library's sector reader.
  std::vector<std::uint8_t> read_sectors(std::int64_t first, std::int64_t count) const;

 private:
  [[noreturn]] void unread(std::int64_t first, std::int64_t count) const;
  char letter_;
  std::u16string drive_;
  win::ObjectRef editor_;
  std::string fs_type_;
  bool raw_ = false;
  volumar::VolumeGeometry geometry_;
  SectorRange sections_[kSectionCount];
};

// " (f.img holds 511 bytes; the volume starts at byte N ...)": what an image
// file holds for a volume that has fewer sectors than asked; empty for a
// device.
std::string volume_size_note(char letter);

// The ProgID of a class name given on the command line: a bare library class
// name gets "Volumar10." in front; a name with a dot is taken as it is.
std::string progid_for(const std::string& name);

}  // namespace volumar_tool
