// Drive selection: the DrivePP put, ClearPP and the copy of the drive
// record into the object's volume properties.
#include <cstdio>

#include "drw/sector_editor.h"
#include "frame/application_object.h"
#include "frame/checked_math.h"
#include "platform/user32/message_box.h"
#include "volume/boot_sector.h"
#include "volume/drive_info.h"

namespace volumar {

void clsQzVolmDrwA::put_DrivePP(String value) {
  m_DrivePP = std::move(value);
  if (!ValidationCheck()) {
    win::MessageBoxA(nullptr, "Validation Fails", kApplicationTitle, win::MB_OK);
    return;
  }
  put_WorkingPP(true);
  ClearPP();
  LoadDriveInfo(m_DrivePP);
  RefreshDriveProperties();
  put_WorkingPP(false);
}

void clsQzVolmDrwA::ClearPP() {
  DriveInfoRecord& d = DriveInfo();
  d.DriveType.clear();
  d.VolumeLabel.clear();
  d.VolumeSerial = 0;
  d.BytesPerSector = 0;
  d.SectorsPerCluster = 0;
  d.HiddenSectors = 0;
  d.TotalSectors = 0;
  d.ReservedSectors = 0;
  d.FsType.clear();
  d.NumberOfFats = 0;
  d.SectorsPerFat = 0;
  d.RootDirectoryStart = 0;
  d.RootDirectoryLength = 0;

  put_DataPP(String());
  put_TagPP(String());
  put_CaptionPP(String());
  put_SectorDataFormattedPP(String());
  put_CryptographyPP(false);
  put_DiskSectionPP(drwDiskSectionDataEntry);
  putref_FatCopyStartsAtPP(nullptr);
}

void clsQzVolmDrwA::RefreshDriveProperties() {
  const DriveInfoRecord& d = DriveInfo();
  put_DriveReadyPP(IsDriveReady(m_DrivePP));
  put_DriveTypePP(d.DriveType);
  String drive = m_DrivePP;
  put_DriveRestrictedPP(IsThisRestricted(drive));
  put_VolumeLabelPP(d.VolumeLabel);
  put_VolumeSerialPP(d.VolumeSerial);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(m_VolumeSerialPP));
  put_VolumeSerialHexPP(u"&H" + S(hex));
  put_VolumarPP(d.FsType);
  put_BytesPerSectorPP(d.BytesPerSector);
  put_SectorsPerClusterPP(d.SectorsPerCluster);
  put_TotalSectorsPP(d.TotalSectors);
  put_HiddenSectorsPP(d.HiddenSectors);
  put_ReservedSectorsPP(d.ReservedSectors);
  put_NumberOfFatCopiesPP(d.NumberOfFats);
  auto starts = Collection::create();
  for (Long k = 1; k <= m_NumberOfFatCopiesPP; ++k)
    starts->Add(Variant(checked_add<Long>(d.ReservedSectors, checked_mul<Long>(k - 1, d.SectorsPerFat))));
  putref_FatCopyStartsAtPP(starts);
  put_SectorsPerFATPP(d.SectorsPerFat);
  put_RootDirectoryStartPP(d.RootDirectoryStart);
  put_RootDirectoryLengthPP(d.RootDirectoryLength);
}

}  // namespace volumar
