// The editor's volume over the library's sector editor.
#include "tools/volumar/editor/session_volume.h"

#include <limits>

#include "platform/automation/variant_conversion.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {

SessionVolume::SessionVolume(EditorSession& session) : s_(session) {
  if (s_.raw()) return;
  for (int s = 0; s < kSectionCount; ++s) ranges_[s] = s_.section(s);
  library_section_ = kSectionCount - 1;
}

// The library's sector numbers are Longs.
void SessionVolume::stand_on(std::int64_t sector) {
  if (sector < 0 || sector > std::numeric_limits<std::int32_t>::max())
    fail("sector " + std::to_string(sector) + " is beyond the sector editor's sector numbers");
  s_.put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(sector)));
}

std::int64_t SessionVolume::move(LibraryMove move, int section, std::int64_t sector) {
  if (section != library_section_) {
    s_.put(u"DiskSectionPP", win::Variant(static_cast<std::int32_t>(section)));
    library_section_ = section;
  }
  stand_on(sector);
  static const char16_t* const members[] = {u"NextSectorPP", u"PreviousSectorPP", u"NextClusterPP",
                                            u"PreviousClusterPP", u"LastClusterPP"};
  s_.call(members[static_cast<int>(move)]);
  return s_.get_long(u"ClusterFoundPP");
}

std::optional<std::int64_t> SessionVolume::find_cluster(std::int32_t action, std::int64_t sector) {
  stand_on(sector);
  const bool found = win::to_string(s_.call(u"FindCluster", {win::Variant(action)})).empty();
  if (!found) return std::nullopt;
  library_section_ = kSectionCount - 1;  // FindCluster stands in the data area
  return s_.get_long(u"ClusterFoundPP");
}

std::vector<std::uint8_t> SessionVolume::read(std::int64_t first, std::int64_t count) {
  return s_.read_sectors(first, count);
}

bool SessionVolume::write(std::int64_t first, const std::vector<std::uint8_t>& bytes) {
  return s_.write_sectors(first, bytes);
}

}  // namespace volumar_tool
