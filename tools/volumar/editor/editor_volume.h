// What the terminal editor's model asks of a volume: its layout, the
// library's sections, moves and cluster search, and whole sectors. The
// editor answers through the library's sector editor (session_volume.h);
// the model's tests answer from memory, without a terminal.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/volumar/host/editor_session.h"
#include "volume/volume_geometry.h"

namespace volumar_tool {

// The library's navigation members.
enum class LibraryMove { NextSector, PreviousSector, NextCluster, PreviousCluster, LastCluster };

class EditorVolume {
 public:
  virtual ~EditorVolume() = default;
  // Sectors by number only: no sections, clusters or FAT.
  virtual bool raw() const = 0;
  virtual const volumar::VolumeGeometry& geometry() const = 0;
  virtual std::int64_t total_sectors() const = 0;
  // The library's bounds of a disk section (0 to kSectionCount - 1).
  virtual SectorRange section_range(int section) const = 0;
  // Where the library's move from `sector` in `section` lands; the section's
  // bounds are not applied.
  virtual std::int64_t move(LibraryMove move, int section, std::int64_t sector) = 0;
  // The library's FindCluster with a DRWFindClusterConstants action from
  // `sector`: the sector it stands on afterwards, nullopt when it failed.
  virtual std::optional<std::int64_t> find_cluster(std::int32_t action, std::int64_t sector) = 0;
  // Whole sectors; a sector the volume cannot deliver raises.
  virtual std::vector<std::uint8_t> read(std::int64_t first, std::int64_t count) = 0;
  // True when every byte reached the volume.
  virtual bool write(std::int64_t first, const std::vector<std::uint8_t>& bytes) = 0;
};

}  // namespace volumar_tool
