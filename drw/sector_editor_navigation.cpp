// Disk sections and moving through them by sector and by cluster.
#include "drw/sector_editor.h"
#include "frame/checked_math.h"
#include "frame/failure_conventions.h"
#include "volume/drive_info.h"

namespace volumar {

void clsQzVolmDrwA::put_DiskSectionPP(DRWDiskSectionConstants value) {
  m_DiskSectionPP = value;
  put_EnablePP(value == drwDiskSectionDataEntry);
  const DriveInfoRecord& d = DriveInfo();
  switch (value) {
    case drwDiskSectionMBR:
      put_MinSectorPP(0);
      put_MaxSectorPP(0);
      break;
    case drwDiskSectionFATCopy1:
      put_MinSectorPP(d.ReservedSectors);
      put_MaxSectorPP(checked_sub<Long>(checked_add<Long>(d.ReservedSectors, d.SectorsPerFat), 1));
      break;
    case drwDiskSectionFATCopy2:
      put_MinSectorPP(checked_add<Long>(d.ReservedSectors, d.SectorsPerFat));
      put_MaxSectorPP(
          checked_sub<Long>(checked_add<Long>(d.ReservedSectors, checked_mul<Long>(2, d.SectorsPerFat)), 1));
      break;
    case drwDiskSectionRootDirectory:
      put_MinSectorPP(d.RootDirectoryStart);
      put_MaxSectorPP(checked_add<Long>(d.RootDirectoryStart, d.RootDirectoryLength));
      break;
    case drwDiskSectionDataEntry:
      put_MinSectorPP(d.DataAreaStart);
      put_MaxSectorPP(checked_sub<Long>(d.TotalSectors, 1));
      break;
    default: break;
  }
}

// The moves test the bounds once, before moving, and do not clip.
Variant clsQzVolmDrwA::PreviousSectorPP() {
  resume_next([&] {
    if (m_ClusterFoundPP > m_MinSectorPP) put_ClusterFoundPP(checked_sub<Long>(m_ClusterFoundPP, 1));
  });
  return {};
}

Variant clsQzVolmDrwA::NextSectorPP() {
  resume_next([&] {
    if (m_ClusterFoundPP < m_MaxSectorPP) put_ClusterFoundPP(checked_add<Long>(m_ClusterFoundPP, 1));
  });
  return {};
}

Variant clsQzVolmDrwA::PreviousClusterPP() {
  resume_next([&] {
    if (m_ClusterFoundPP > m_MinSectorPP)
      put_ClusterFoundPP(checked_sub<Long>(m_ClusterFoundPP, m_SectorsPerClusterPP));
  });
  return {};
}

Variant clsQzVolmDrwA::NextClusterPP() {
  resume_next([&] {
    if (m_ClusterFoundPP < m_MaxSectorPP)
      put_ClusterFoundPP(checked_add<Long>(m_ClusterFoundPP, m_SectorsPerClusterPP));
  });
  return {};
}

Variant clsQzVolmDrwA::LastClusterPP() {
  resume_next([&] { put_ClusterFoundPP(checked_sub<Long>(m_TotalSectorsPP, m_SectorsPerClusterPP)); });
  return {};
}

Variant clsQzVolmDrwA::HalfClusterPP() {
  Variant result;
  resume_next([&] { result = Variant(double(checked_sub<Long>(m_TotalSectorsPP, m_SectorsPerClusterPP)) / 2.0); });
  return result;
}

String clsQzVolmDrwA::SectorDataLocation() {
  return m_DrivePP + u"," + S(std::to_string(static_cast<Long>(m_DiskSectionPP))) + u"," +
         S(std::to_string(m_ClusterFoundPP)) + u"," + m_TagPP;
}

}  // namespace volumar
