#include "volume/fsinfo.h"

#include "platform/ansi_code_page.h"
#include "platform/byte_order.h"
#include "rawio/read_sectors.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"

namespace volumar {

void adjust_free_cluster_count(const String& drive, Long delta) {
  const DriveInfoRecord& d = DriveInfo();
  if (delta == 0 || d.BootSector.size() < 512 || d.BytesPerSector < 512) return;
  const std::uint16_t sector = win::le16(d.BootSector.data(), 48);
  if (sector == 0 || sector == 0xFFFF || sector >= d.ReservedSectors) return;
  auto info = ReadDriveSectors(drive, sector, 0, 512);
  if (!info || win::le32(info->data(), 0) != 0x41615252u || win::le32(info->data(), 484) != 0x61417272u) return;
  const std::uint32_t count = win::le32(info->data(), 488);
  if (count == 0xFFFFFFFFu) return;
  std::uint8_t bytes[4];
  win::put_le32(bytes, 0, count + static_cast<std::uint32_t>(delta));
  WriteDriveSectors(drive, sector, 488, win::ansi_to_utf16(std::string_view(reinterpret_cast<char*>(bytes), 4)),
                    0x2001);
}

}  // namespace volumar
