// GetPhysicalDrives: one message box with the geometry of each physical
// drive, walked by number until one does not open.
#include "drw/sector_editor.h"
#include "frame/application_object.h"
#include "platform/kernel32_files.h"
#include "platform/last_error.h"
#include "platform/user32/message_box.h"
#include "rawio/physical_drives.h"
#include "rawio/sector_span.h"

namespace volumar {

void clsQzVolmDrwA::GetPhysicalDrives() {
  for (Long n = 0;; ++n) {
    const std::string path = "\\\\.\\PHYSICALDRIVE" + std::to_string(n);
    HandleGuard drive(win::CreateFileA(path.c_str(), 0, kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
    if (!drive.valid()) break;
    win::DISK_GEOMETRY g = GetDriveGeometry(drive.get());
    const std::string text = "Cylinders : " + std::to_string(g.Cylinders) +
                             "\r\nMediaType : " + std::to_string(g.MediaType) +
                             "\r\nTracksPerCylinder : " + std::to_string(static_cast<Long>(g.TracksPerCylinder)) +
                             "\r\nSectorsPerTrack : " + std::to_string(static_cast<Long>(g.SectorsPerTrack)) +
                             "\r\nBytesPerSector : " + std::to_string(static_cast<Long>(g.BytesPerSector));
    win::MessageBoxA(nullptr, text.c_str(), kApplicationTitle, win::MB_OK);
  }
  win::LONG error = static_cast<win::LONG>(win::GetLastError());
  if (error == static_cast<win::LONG>(win::ERROR_FILE_NOT_FOUND)) return;
  const std::string text = "GetPhysicalDrives error:\r\n" + GetSystemErrorText(error);
  win::MessageBoxA(nullptr, text.c_str(), kApplicationTitle, win::MB_OK | win::MB_ICONCRITICAL);
}

}  // namespace volumar
