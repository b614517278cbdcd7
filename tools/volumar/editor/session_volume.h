// The editor's volume through the library's sector editor on one drive:
// sections, moves and FindCluster by dispatch, sectors through the
// session's reads and its journalled writes.
#pragma once
#include "tools/volumar/editor/editor_volume.h"

namespace volumar_tool {

class SessionVolume : public EditorVolume {
 public:
  explicit SessionVolume(EditorSession& session);

  bool raw() const override { return s_.raw(); }
  const volumar::VolumeGeometry& geometry() const override { return s_.geometry(); }
  std::int64_t total_sectors() const override { return s_.total_sectors(); }
  SectorRange section_range(int section) const override { return ranges_[section]; }
  std::int64_t move(LibraryMove move, int section, std::int64_t sector) override;
  std::optional<std::int64_t> find_cluster(std::int32_t action, std::int64_t sector) override;
  std::vector<std::uint8_t> read(std::int64_t first, std::int64_t count) override;
  bool write(std::int64_t first, const std::vector<std::uint8_t>& bytes) override;

 private:
  void stand_on(std::int64_t sector);
  EditorSession& s_;
  SectorRange ranges_[kSectionCount];
  int library_section_ = -1;
};

}  // namespace volumar_tool
