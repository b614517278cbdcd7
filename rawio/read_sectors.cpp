#include "rawio/read_sectors.h"

#include "platform/device_records.h"
#include "platform/family.h"
#include "platform/kernel32_files.h"
#include "rawio/sector_span.h"
#include "volume/drive_info.h"

namespace volumar {
namespace {

// The wanted bytes, cut out of the span buffer in place: long runs are read
// whole, so the buffer usually is the result.
SectorRead result(win::Bytes&& span, Long byte_offset, Long byte_count, bool complete) {
  if (byte_offset > 0) span.erase(span.begin(), span.begin() + byte_offset);
  span.resize(static_cast<std::size_t>(byte_count));
  return {std::move(span), complete};
}

}  // namespace

bool IsNTPlatform() {
  win::OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return win::GetVersionExA(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

bool uses_absolute_requests(const String& fs_type) { return fs_type == u"FAT16" || fs_type == u"FAT12"; }

std::optional<win::Bytes> ReadDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  if (IsNTPlatform()) return ReadDriveSectorsNT(drive, startSector, byteOffset, byteCount).bytes;
  if (uses_absolute_requests(DriveInfo().FsType))
    return ReadDriveSectorsInt25(drive, startSector, byteOffset, byteCount).bytes;
  return ReadDriveSectorsExt(drive, startSector, byteOffset, byteCount).bytes;
}

SectorRead ReadDriveSectorsNT(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  const Integer bps = DriveInfo().BytesPerSector;
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
  HandleGuard volume(win::CreateFileA(volume_device_path(drive).c_str(), win::GENERIC_READ | win::GENERIC_WRITE,
                                      kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!volume.valid()) return {};
  Long position = device_position(startSector, bps);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  win::LONG high = 0;
  bool positioned = win::SetFilePointer(volume.get(), position, &high, win::FILE_BEGIN) != win::INVALID_SET_FILE_POINTER;
  win::DWORD got = 0;
  bool read = win::ReadFile(volume.get(), buffer.data(), static_cast<win::DWORD>(span.bytes), &got, nullptr);
  return result(std::move(buffer), byteOffset, byteCount, positioned && read && got == static_cast<win::DWORD>(span.bytes));
}

SectorRead ReadDriveSectorsInt25(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, DriveInfo().BytesPerSector);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  Long number = drive_number(drive);
  BufferAddress address(buffer.data(), buffer.size());
  win::DIOC_REGISTERS regs;
  regs.reg_EBX = address.get();
  regs.reg_EDX = static_cast<win::DWORD>(startSector);
  regs.reg_ECX = static_cast<win::DWORD>(span.sectors);
  regs.reg_EAX = static_cast<win::DWORD>(number);
  regs.reg_ESI = 0x6000;
  HandleGuard vwin32(win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr,
                                      win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return {};
  bool ok = send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_INT25, regs);
  return result(std::move(buffer), byteOffset, byteCount, ok);
}

SectorRead ReadDriveSectorsExt(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, DriveInfo().BytesPerSector);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  win::DISKIO packet;
  packet.dwStartSector = static_cast<win::DWORD>(startSector);
  packet.wSectors = extended_sector_count(span.sectors);
  BufferAddress buffer_address(buffer.data(), buffer.size());
  packet.dwBuffer = buffer_address.get();
  std::uint8_t packet_bytes[win::DISKIO_SIZE];
  win::encode_diskio(packet, packet_bytes);
  BufferAddress packet_address(packet_bytes, sizeof packet_bytes);

  win::DIOC_REGISTERS regs;
  regs.reg_EBX = packet_address.get();
  regs.reg_EDX = static_cast<win::DWORD>(drive_number(drive) + 1);
  regs.reg_ECX = 0xFFFFFFFFu;
  regs.reg_EAX = 0x7305;
  regs.reg_ESI = 0;
  HandleGuard vwin32(win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr,
                                      win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return {};
  bool ok = send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_DRIVEINFO, regs);
  return result(std::move(buffer), byteOffset, byteCount, ok);
}

}  // namespace volumar
