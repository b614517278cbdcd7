#include "rawio/physical_drives.h"

#include "platform/format_message.h"
#include "platform/kernel32_files.h"

namespace volumar {

win::DISK_GEOMETRY GetDriveGeometry(win::HANDLE drive) {
  std::uint8_t record[win::DISK_GEOMETRY_SIZE] = {};
  if (drive != win::INVALID_HANDLE_VALUE) {
    win::DWORD returned = 0;
    win::DeviceIoControl(drive, win::IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, record, sizeof record, &returned,
                         nullptr);
  }
  return win::decode_disk_geometry(record);
}

std::string GetSystemErrorText(win::LONG& error) {
  std::string buffer(256, ' ');
  const win::DWORD source = 0;
  win::DWORD n = win::FormatMessageA(win::FORMAT_MESSAGE_FROM_SYSTEM | win::FORMAT_MESSAGE_IGNORE_INSERTS, &source,
                                     static_cast<win::DWORD>(error), 0, buffer.data(), 256, nullptr);
  if (n == 0) return "unknown error";
  return buffer.substr(0, n);
}

}  // namespace volumar
