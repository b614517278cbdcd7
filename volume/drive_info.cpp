#include "volume/drive_info.h"

#include "frame/apartment.h"

namespace volumar {

DriveInfoRecord& DriveInfo() { return apartment_state<DriveInfoRecord>(); }

void ResetDriveInfo() {
  DriveInfoRecord& d = DriveInfo();
  DriveInfoRecord fresh;
  fresh.BootSector = std::move(d.BootSector);
  fresh.SectorDataFormatted = std::move(d.SectorDataFormatted);
  d = std::move(fresh);
}

}  // namespace volumar
