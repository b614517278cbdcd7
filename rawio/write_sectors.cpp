#include "rawio/write_sectors.h"

#include <algorithm>

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"
#include "platform/kernel32_files.h"
#include "rawio/read_sectors.h"
#include "rawio/sector_span.h"
#include "rawio/word_functions.h"

namespace volumar {
namespace {

// The span a write covers, read through the path's own family. A read that
// did not open raises Type mismatch (the empty result is no byte array); a
// read that came back incomplete gives nothing to write.
std::optional<win::Bytes> read_span(SectorRead read) {
  if (!read.bytes) raise_error(win::kErrTypeMismatch);
  if (!read.complete) return std::nullopt;
  return std::move(read.bytes);
}

void merge(win::Bytes& span, Long byte_offset, const String& data) {
  std::string bytes = win::utf16_to_ansi(data);
  std::copy(bytes.begin(), bytes.end(), span.begin() + byte_offset);
}

bool ioctl_volume(win::HANDLE vwin32, Byte drive_and_level, Byte level, Byte minor, Integer permissions) {
  for (Byte category : {win::IOCTL_CATEGORY_FAT32, win::IOCTL_CATEGORY_FAT}) {
    win::DIOC_REGISTERS regs;
    regs.reg_EAX = win::DOS_GENERIC_IOCTL;
    regs.reg_EBX = static_cast<std::uint16_t>(MakeWord(drive_and_level, level));
    regs.reg_ECX = static_cast<std::uint16_t>(MakeWord(minor, category));
    regs.reg_EDX = static_cast<std::uint16_t>(permissions);
    if (send_vwin32_request(vwin32, win::VWIN32_DIOC_DOS_IOCTL, regs)) return true;
  }
  return false;
}

}  // namespace

Boolean WriteDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                          const String& data, Long writeKind) {
  const Integer bps = access.bytes_per_sector;
  if (IsNTPlatform()) return WriteDriveSectorsNT(bps, drive, startSector, byteOffset, data);
  if (access.request == DiskRequest::Absolute) return WriteDriveSectorsInt26(bps, drive, startSector, byteOffset, data);
  return WriteDriveSectorsExt(bps, drive, startSector, byteOffset, data, writeKind);
}

namespace {

Boolean update_nt(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount,
                  const ByteChange& change) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
  HandleGuard volume(win::CreateFileA(volume_device_path(drive).c_str(), win::GENERIC_READ | win::GENERIC_WRITE,
                                      kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!volume.valid()) return false;
  const Long position = device_position(startSector, bps);
  const auto offset = static_cast<win::DWORD>(position), length = static_cast<win::DWORD>(span.bytes);
  // Read, merge and write are one step under the span's lock, through one
  // handle: a change another writer made to these sectors meanwhile is read
  // and kept, never overwritten with stale bytes.
  if (!retry_while_locked([&] { return win::LockFile(volume.get(), offset, 0, length, 0) != 0; })) return false;
  win::Bytes buffer(static_cast<std::size_t>(span.bytes));
  win::LONG high = 0;
  bool ok = win::SetFilePointer(volume.get(), position, &high, win::FILE_BEGIN) != win::INVALID_SET_FILE_POINTER &&
            read_whole(volume.get(), buffer.data(), length);
  if (ok) {
    change(std::span(buffer).subspan(static_cast<std::size_t>(byteOffset), static_cast<std::size_t>(byteCount)));
    high = 0;
    // A write that never reached the volume whole, or whose flush failed,
    // is a failed write.
    ok = win::SetFilePointer(volume.get(), position, &high, win::FILE_BEGIN) != win::INVALID_SET_FILE_POINTER &&
         write_whole(volume.get(), buffer.data(), length);
    ok = win::FlushFileBuffers(volume.get()) != 0 && ok;
  }
  win::UnlockFile(volume.get(), offset, 0, length, 0);
  return ok;
}

}  // namespace

Boolean WriteDriveSectorsNT(Integer bps, const String& drive, Long startSector, Long byteOffset, const String& data) {
  const std::string bytes = win::utf16_to_ansi(data);
  return update_nt(bps, drive, startSector, byteOffset, static_cast<Long>(data.size()),
                   [&](std::span<std::uint8_t> at) { std::copy(bytes.begin(), bytes.end(), at.begin()); });
}

Boolean UpdateDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                           Long byteCount, const ByteChange& change, Long writeKind) {
  if (IsNTPlatform()) return update_nt(access.bytes_per_sector, drive, startSector, byteOffset, byteCount, change);
  // The 9x service locks the volume only around its own write.
  SectorRead read = ReadDriveSectors(access, drive, startSector, byteOffset, byteCount);
  if (!read.bytes) raise_error(win::kErrTypeMismatch);
  if (!read.complete) return false;
  change(*read.bytes);
  const std::string_view changed(reinterpret_cast<const char*>(read.bytes->data()), read.bytes->size());
  return WriteDriveSectors(access, drive, startSector, byteOffset, win::ansi_to_utf16(changed), writeKind);
}

Boolean WriteDriveSectorsInt26(Integer bps, const String& drive, Long startSector, Long byteOffset,
                               const String& data) {
  SectorSpan span = cover_bytes(byteOffset, static_cast<Long>(data.size()), bps);
  auto buffer = read_span(ReadDriveSectorsInt25(bps, drive, startSector, 0, span.bytes));
  if (!buffer) return false;
  merge(*buffer, byteOffset, data);

  BufferAddress address(buffer->data(), buffer->size());
  win::DIOC_REGISTERS regs;
  regs.reg_EAX = static_cast<win::DWORD>(drive_number(drive));
  regs.reg_EBX = address.get();
  regs.reg_ECX = static_cast<win::DWORD>(span.sectors);
  regs.reg_EDX = static_cast<win::DWORD>(startSector);
  regs.reg_ESI = win::DISKIO_NORMAL_DATA;
  HandleGuard vwin32(
      win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return false;
  return send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_INT26, regs);
}

Boolean WriteDriveSectorsExt(Integer bps, const String& drive, Long startSector, Long byteOffset, const String& data,
                             Long writeKind) {
  SectorSpan span = cover_bytes(byteOffset, static_cast<Long>(data.size()), bps);
  auto buffer = read_span(ReadDriveSectorsExt(bps, drive, startSector, 0, span.bytes));
  if (!buffer) return false;
  merge(*buffer, byteOffset, data);

  BufferAddress buffer_address(buffer->data(), buffer->size());
  win::DISKIO packet;
  packet.dwStartSector = static_cast<win::DWORD>(startSector);
  packet.wSectors = extended_sector_count(span.sectors);
  packet.dwBuffer = buffer_address.get();
  std::uint8_t packet_bytes[win::DISKIO_SIZE];
  win::encode_diskio(packet, packet_bytes);
  BufferAddress packet_address(packet_bytes, sizeof packet_bytes);
  const Byte number = CByte(drive_number(drive) + 1);
  win::DIOC_REGISTERS regs;
  regs.reg_EAX = win::DOS_EXTENDED_ABSOLUTE_DISK;
  regs.reg_EBX = packet_address.get();
  regs.reg_ECX = win::DISKIO_LARGE_FORM;
  regs.reg_EDX = number;
  regs.reg_ESI = static_cast<win::DWORD>(writeKind);

  HandleGuard vwin32(win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ | win::GENERIC_WRITE, kShareReadWrite, nullptr,
                                      win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return false;
  bool locked = false;
  for (Byte level = 0; level <= 3 && !locked; ++level) locked = LockLogicalVolume(vwin32.get(), number, level, 0);
  if (!locked) return false;
  bool ok = send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_DRIVEINFO, regs);
  UnlockLogicalVolume(vwin32.get(), number);
  return ok;
}

Boolean LockLogicalVolume(win::HANDLE vwin32, Byte drive, Byte level, Integer permissions) {
  return ioctl_volume(vwin32, drive, level, win::IOCTL_LOCK_LOGICAL_VOLUME, permissions);
}

Boolean UnlockLogicalVolume(win::HANDLE vwin32, Byte drive) {
  return ioctl_volume(vwin32, drive, 0, win::IOCTL_UNLOCK_LOGICAL_VOLUME, 0);
}

}  // namespace volumar
