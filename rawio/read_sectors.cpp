#include "rawio/read_sectors.h"

#include "platform/device_records.h"
#include "platform/family.h"
#include "platform/kernel32_files.h"
#include "rawio/sector_span.h"

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

SectorRead ReadDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                            Long byteCount) {
  const Integer bps = access.bytes_per_sector;
  if (IsNTPlatform()) return ReadDriveSectorsNT(bps, drive, startSector, byteOffset, byteCount);
  if (access.request == DiskRequest::Absolute)
    return ReadDriveSectorsInt25(bps, drive, startSector, byteOffset, byteCount);
  return ReadDriveSectorsExt(bps, drive, startSector, byteOffset, byteCount);
}

SectorRead ReadDriveSectorsNT(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
  HandleGuard volume(win::CreateFileA(volume_device_path(drive).c_str(), win::GENERIC_READ | win::GENERIC_WRITE,
                                      kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!volume.valid()) return {};
  Long position = device_position(startSector, bps);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  win::LONG high = 0;
  bool positioned =
      win::SetFilePointer(volume.get(), position, &high, win::FILE_BEGIN) != win::INVALID_SET_FILE_POINTER;
  win::DWORD got = 0;
  // A writer's read-modify-write holds its sectors for a moment.
  bool read = retry_while_locked([&] {
    return win::ReadFile(volume.get(), buffer.data(), static_cast<win::DWORD>(span.bytes), &got, nullptr) != 0;
  });
  return result(std::move(buffer), byteOffset, byteCount,
                positioned && read && got == static_cast<win::DWORD>(span.bytes));
}

SectorRead ReadDriveSectorsInt25(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  Long number = drive_number(drive);
  BufferAddress address(buffer.data(), buffer.size());
  win::DIOC_REGISTERS regs;
  regs.reg_EBX = address.get();
  regs.reg_EDX = static_cast<win::DWORD>(startSector);
  regs.reg_ECX = static_cast<win::DWORD>(span.sectors);
  regs.reg_EAX = static_cast<win::DWORD>(number);
  regs.reg_ESI = win::DISKIO_NORMAL_DATA;
  HandleGuard vwin32(
      win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return {};
  bool ok = send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_INT25, regs);
  return result(std::move(buffer), byteOffset, byteCount, ok);
}

SectorRead ReadDriveSectorsExt(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
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
  regs.reg_ECX = win::DISKIO_LARGE_FORM;
  regs.reg_EAX = win::DOS_EXTENDED_ABSOLUTE_DISK;
  regs.reg_ESI = 0;  // a read
  HandleGuard vwin32(
      win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return {};
  bool ok = send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_DRIVEINFO, regs);
  return result(std::move(buffer), byteOffset, byteCount, ok);
}

}  // namespace volumar
