#include "volume/boot_sector.h"

#include <array>
#include <cmath>

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"
#include "platform/byte_order.h"
#include "platform/volume_information.h"
#include "rawio/read_sectors.h"
#include "volume/drive_info.h"
#include "volume/fat_tables.h"

namespace volumar {
namespace {

String trim_spaces(const String& s) {
  auto b = s.find_first_not_of(u' ');
  if (b == String::npos) return {};
  return s.substr(b, s.find_last_not_of(u' ') - b + 1);
}

String upper_prefix(const String& s, std::size_t n) {
  String p = s.substr(0, n);
  for (auto& c : p)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return p;
}

// Text of a zero-filled buffer up to its first zero.
String buffer_text(const char* buffer, std::size_t size) {
  std::size_t n = 0;
  while (n < size && buffer[n] != '\0') ++n;
  return win::ansi_to_utf16(std::string_view(buffer, n));
}

}  // namespace

String drive_type_name(win::UINT code) {
  static const char16_t* const names[] = {u"Missing", u"Unknown", u"Removable", u"Fixed",
                                          u"Remote",  u"CDRom",   u"RAMDisk"};
  if (code > 6) raise_error(win::kErrSubscriptOutOfRange);
  return names[code];
}

void LoadDriveInfo(const String& drive) {
  ResetDriveInfo();
  DriveInfoRecord& d = DriveInfo();
  String root_path = drive.substr(0, 1) + u":\\";
  const std::string root = win::utf16_to_ansi(root_path);

  std::array<char, 255> name{}, fs_name{};
  win::DWORD serial = 0, max_component = 0, flags = 0;
  win::GetVolumeInformationA(root.c_str(), name.data(), 255, &serial, &max_component, &flags, fs_name.data(), 255);
  d.VolumeSerial = static_cast<Long>(serial);
  d.VolumeLabel = buffer_text(name.data(), name.size());
  d.FsType = trim_spaces(buffer_text(fs_name.data(), fs_name.size()));
  d.DriveType = drive_type_name(win::GetDriveTypeA(root.c_str()));

  if (upper_prefix(d.FsType, 3) == u"FAT") ReadBootSector(root_path);
}

void ReadBootSector(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  d.BytesPerSector = 512;
  auto boot = ReadDriveSectors(root_path, 0, 0, 512);
  if (!boot) raise_error(win::kErrTypeMismatch);  // the empty result is no byte array
  d.BootSector = std::move(*boot);
  const std::uint8_t* b = d.BootSector.data();

  d.BytesPerSector = static_cast<Integer>(win::le16(b, 11));
  d.SectorsPerCluster = b[13];
  if (d.BytesPerSector == 0) d.BytesPerSector = 512;
  d.NumberOfFats = b[16];
  d.ReservedSectors = win::le16(b, 14);
  d.HiddenSectors = static_cast<Long>(win::le32(b, 28));
  d.TotalSectors = win::le16(b, 19);
  if (d.TotalSectors == 0) d.TotalSectors = static_cast<Long>(win::le32(b, 32));

  if (d.FsType == u"FAT") {
    String text = win::ansi_to_utf16(std::string_view(reinterpret_cast<const char*>(b + 54), 8));
    d.FsType = upper_prefix(text, 3) == u"FAT" ? trim_spaces(text) : String(u"FAT12");
  }

  if (d.FsType == u"FAT32") {
    d.SectorsPerFat = static_cast<Long>(win::le32(b, 36));
    d.RootDirectoryCluster = static_cast<Long>(win::le32(b, 44));
    d.DataAreaStart = checked_add<Long>(d.ReservedSectors, checked_mul<Long>(d.NumberOfFats, d.SectorsPerFat));
    // Clusters are numbered from 2 at the data area; the root directory
    // starts at the first sector of its own cluster, wherever that is.
    d.FirstDataCluster = 2;
    Long root_offset = checked_mul<Long>(checked_sub<Long>(d.RootDirectoryCluster, 2), d.SectorsPerCluster);
    d.RootDirectoryStart = d.RootDirectoryCluster >= 2 ? checked_add<Long>(d.DataAreaStart, root_offset) : d.DataAreaStart;
  } else {
    d.SectorsPerFat = win::le16(b, 22);
    // The entry count is unsigned and the directory takes whole sectors.
    Long root_bytes = checked_mul<Long>(win::le16(b, 17), 32);
    d.RootDirectoryStart = checked_add<Long>(d.ReservedSectors, checked_mul<Long>(d.NumberOfFats, d.SectorsPerFat));
    d.RootDirectoryLength = checked_sub<Long>(checked_idiv<Long>(root_bytes + d.BytesPerSector - 1, d.BytesPerSector), 1);
    d.DataAreaStart = checked_add<Long>(checked_add<Long>(d.RootDirectoryStart, d.RootDirectoryLength), 1);
    d.FirstDataCluster = 2;
  }
  LoadFatTables(root_path);
}

}  // namespace volumar
