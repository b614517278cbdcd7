#include "volume/boot_sector.h"

#include <array>

#include "format/boot_sector.h"
#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"
#include "platform/volume_information.h"
#include "rawio/read_sectors.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
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

// Sector 0 as a sector of 512 bytes. On the 9x family the disk service
// moves whole sectors of the volume's own size, so a volume with larger
// sectors is read again one size up until the service takes the request.
win::Bytes read_boot_record(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  const bool nt = IsNTPlatform();
  for (Integer size = 512; size <= 4096; size = static_cast<Integer>(size * 2)) {
    d.BytesPerSector = size;
    SectorRead read = ReadDriveSectors(DriveSectorAccess(), root_path, 0, 0, size);
    if (!read.bytes) raise_error(win::kErrTypeMismatch);  // the empty result is no byte array
    if (read.complete) {
      read.bytes->resize(ondisk::boot::kRecordSize);
      d.BytesPerSector = 512;
      return std::move(*read.bytes);
    }
    if (nt) break;
  }
  d.BytesPerSector = 512;
  raise_error(win::kErrDeviceIoError, "the boot sector could not be read: the volume delivered no whole sector 0");
}

// A geometry value that a Long field holds, or an overflow error.
Long field(std::uint64_t value) { return CLng(value); }

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
  d.BootSector = read_boot_record(root_path);
  const ondisk::BootSector boot = ondisk::decode_boot_sector(d.BootSector);
  const VolumeGeometry g = geometry_of(boot);

  d.BytesPerSector = static_cast<Integer>(g.bytes_per_sector);
  d.SectorsPerCluster = boot.sectors_per_cluster;
  d.NumberOfFats = boot.number_of_fats;
  d.ReservedSectors = boot.reserved_sectors;
  d.HiddenSectors = static_cast<Long>(boot.hidden_sectors);
  d.TotalSectors = static_cast<Long>(boot.total_sectors());  // the 32 bits as stored
  // The cluster count decides the type, as every system decides it; the
  // type text is a label. A boot sector that decides no type is named
  // "FAT" alone, so that no FAT table is built and none is ever written.
  d.FsType = g.type ? win::ansi_to_utf16(ondisk::fat_type_name(*g.type)) : String(u"FAT");
  d.SectorsPerFat = field(g.sectors_per_fat);
  d.RootDirectoryStart = field(g.root_directory_start);
  d.DataAreaStart = field(g.first_data_sector);
  d.FirstDataCluster = 2;
  if (!boot.fat32_layout()) d.RootDirectoryLength = checked_sub<Long>(field(g.root_directory_sectors), 1);
  d.Geometry = g;
  PrepareFatTables(root_path);
}

}  // namespace volumar
