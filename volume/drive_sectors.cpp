#include "volume/drive_sectors.h"

#include "frame/runtime_error.h"
#include "rawio/read_sectors.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"

namespace volumar {

SectorAccess DriveSectorAccess() {
  const DriveInfoRecord& d = DriveInfo();
  const bool absolute = d.FsType == u"FAT12" || d.FsType == u"FAT16";
  return {d.BytesPerSector, absolute ? DiskRequest::Absolute : DiskRequest::Extended};
}

std::optional<win::Bytes> ReadDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  return ReadDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, byteCount).bytes;
}

Boolean WriteDriveSectors(const String& drive, Long startSector, Long byteOffset, const String& data, Long writeKind) {
  return WriteDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, data, writeKind);
}

win::Bytes ReadDriveSectorsWhole(const String& drive, Long startSector, Long byteOffset, Long byteCount,
                                 const std::string& what) {
  SectorRead read = ReadDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, byteCount);
  if (!read.bytes) raise_error(win::kErrTypeMismatch);
  if (!read.complete)
    raise_error(win::kErrDeviceIoError, what + " could not be read (sector " + std::to_string(startSector) + ", " +
                                            std::to_string(byteCount) + " bytes): the volume delivered less");
  return std::move(*read.bytes);
}

}  // namespace volumar
