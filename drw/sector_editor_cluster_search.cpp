// FindCluster: finding free and bad clusters, marking the current cluster
// in every FAT copy, and writing DataPP into the current sector.
#include "drw/sector_editor.h"
#include "frame/checked_math.h"
#include "platform/user32/message_box.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"

namespace volumar {
namespace {

constexpr Long kBadCluster = ondisk::kFat32Bad;

// floor((sector - DataAreaStart) / SectorsPerCluster), raised to 0, plus
// the first data cluster.
Long cluster_of_sector(Long sector) {
  const DriveInfoRecord& d = DriveInfo();
  Long delta = checked_sub<Long>(sector, d.DataAreaStart);
  Long index = checked_idiv<Long>(delta, d.SectorsPerCluster);
  if (delta < 0 && delta % d.SectorsPerCluster != 0) --index;  // floor, not truncation
  if (index < 0) index = 0;
  return checked_add<Long>(index, d.FirstDataCluster);
}

Long first_sector_of(Long cluster) {
  const DriveInfoRecord& d = DriveInfo();
  return checked_add<Long>(d.DataAreaStart,
                           checked_mul<Long>(checked_sub<Long>(cluster, d.FirstDataCluster), d.SectorsPerCluster));
}

}  // namespace

String clsQzVolmDrwA::FindCluster(DRWFindClusterConstants& Index) {
  const Long current = cluster_of_sector(m_ClusterFoundPP);
  const String number = S(std::to_string(current));
  Long target = current;
  bool success = false;
  auto find = [&](const char16_t* caption, Long start, Long state) {
    put_CaptionPP(caption);
    target = FindFatEntry(start, state);
    success = target != 0;
  };
  switch (Index) {
    case drwFindClusterFreeFindFirst: find(u" - Searching for first free cluster...", 0, kFatFree); break;
    case drwFindClusterFreeFindNext: find(u" - Searching for next free cluster...", current, kFatFree); break;
    case drwFindClusterBadFindFirst: find(u" - Searching for first bad cluster...", 0, kFatBad); break;
    case drwFindClusterBadFindNext: find(u" - Searching for next bad cluster...", current, kFatBad); break;
    case drwFindClusterFreeMarkBad:
      put_CaptionPP(u" - marking cluster " + number + u" as bad...");
      success = SetFatEntry(m_DrivePP, current, kBadCluster);
      break;
    case drwFindClusterBadMarkFree:
      put_CaptionPP(u" - marking cluster " + number + u" as free...");
      success = SetFatEntry(m_DrivePP, current, 0);
      break;
    case drwFindClusterFreeWriteData:
    case drwFindClusterBadWriteData:
      put_CaptionPP(u" - Writting data...");
      success = WriteDriveSectors(m_DrivePP, m_ClusterFoundPP, 0, m_DataPP, kWriteOrdinaryData);
      break;
    default: break;
  }
  if (!success) {
    win::MessageBoxA(nullptr, "Nothing found!", "ZEV DRW...", win::MB_OK | win::MB_ICONCRITICAL);
    return u"0";
  }
  m_search_guard = true;
  try {
    put_DiskSectionPP(drwDiskSectionDataEntry);
  } catch (...) {
    m_search_guard = false;
    throw;
  }
  m_search_guard = false;
  put_ClusterFoundPP(first_sector_of(target));
  return {};
}

}  // namespace volumar
