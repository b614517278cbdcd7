#include "rawio/read_sectors.h"

#include <algorithm>

#include "frame/runtime_error.h"
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

namespace {

// One ReadFile at most this long: the host's largest single transfer is
// just under 2 GiB.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// The NT path: the volume's device, read until the span is full or a call
// fails or delivers nothing.
SpanRead read_nt(Integer bps, const String& drive, Long startSector, std::span<std::uint8_t> into) {
  HandleGuard volume(win::CreateFileA(volume_device_path(drive).c_str(), win::GENERIC_READ | win::GENERIC_WRITE,
                                      kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!volume.valid()) return SpanRead::NoDevice;
  win::LONG high = 0;
  if (win::SetFilePointer(volume.get(), device_position(startSector, bps), &high, win::FILE_BEGIN) ==
      win::INVALID_SET_FILE_POINTER)
    return SpanRead::Short;
  for (std::size_t done = 0, want = 0; done < into.size(); done += want) {
    want = std::min<std::size_t>(into.size() - done, kLargestTransfer);
    if (!read_whole(volume.get(), into.data() + done, static_cast<win::DWORD>(want))) return SpanRead::Short;
  }
  return SpanRead::Complete;
}

SpanRead read_int25(Integer bps, const String& drive, Long startSector, std::span<std::uint8_t> into) {
  Long number = drive_number(drive);
  BufferAddress address(into.data(), into.size());
  win::DIOC_REGISTERS regs;
  regs.reg_EBX = address.get();
  regs.reg_EDX = static_cast<win::DWORD>(startSector);
  regs.reg_ECX = static_cast<win::DWORD>(into.size() / static_cast<std::size_t>(bps));
  regs.reg_EAX = static_cast<win::DWORD>(number);
  regs.reg_ESI = win::DISKIO_NORMAL_DATA;
  HandleGuard vwin32(
      win::CreateFileA("\\\\.\\VWIN32", win::GENERIC_READ, kShareReadWrite, nullptr, win::OPEN_EXISTING, 0, nullptr));
  if (!vwin32.valid()) return SpanRead::NoDevice;
  return send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_INT25, regs) ? SpanRead::Complete : SpanRead::Short;
}

SpanRead read_extended(Integer bps, const String& drive, Long startSector, std::span<std::uint8_t> into) {
  win::DISKIO packet;
  packet.dwStartSector = static_cast<win::DWORD>(startSector);
  packet.wSectors = extended_sector_count(static_cast<Long>(into.size() / static_cast<std::size_t>(bps)));
  BufferAddress buffer_address(into.data(), into.size());
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
  if (!vwin32.valid()) return SpanRead::NoDevice;
  return send_vwin32_request(vwin32.get(), win::VWIN32_DIOC_DOS_DRIVEINFO, regs) ? SpanRead::Complete : SpanRead::Short;
}

using SpanReader = SpanRead (*)(Integer, const String&, Long, std::span<std::uint8_t>);

// A byte range read through one path: the covering sectors into a buffer,
// the wanted bytes cut out of it.
SectorRead read_range(SpanReader reader, Integer bps, const String& drive, Long startSector, Long byteOffset,
                      Long byteCount) {
  SectorSpan span = cover_bytes(byteOffset, byteCount, bps);
  win::Bytes buffer(static_cast<std::size_t>(span.bytes), 0);
  const SpanRead read = reader(bps, drive, startSector, buffer);
  if (read == SpanRead::NoDevice) return {};
  return result(std::move(buffer), byteOffset, byteCount, read == SpanRead::Complete);
}

}  // namespace

SectorRead ReadDriveSectors(const SectorAccess& access, const String& drive, Long startSector, Long byteOffset,
                            Long byteCount) {
  const Integer bps = access.bytes_per_sector;
  if (IsNTPlatform()) return ReadDriveSectorsNT(bps, drive, startSector, byteOffset, byteCount);
  if (access.request == DiskRequest::Absolute)
    return ReadDriveSectorsInt25(bps, drive, startSector, byteOffset, byteCount);
  return ReadDriveSectorsExt(bps, drive, startSector, byteOffset, byteCount);
}

SpanRead ReadDriveSectorsInto(const SectorAccess& access, const String& drive, Long startSector,
                              std::span<std::uint8_t> into) {
  const Integer bps = access.bytes_per_sector;
  if (bps <= 0 || into.empty() || into.size() % static_cast<std::size_t>(bps))
    raise_error(win::kErrSubscriptOutOfRange);
  if (IsNTPlatform()) return read_nt(bps, drive, startSector, into);
  if (access.request == DiskRequest::Absolute) return read_int25(bps, drive, startSector, into);
  return read_extended(bps, drive, startSector, into);
}

SectorRead ReadDriveSectorsNT(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  return read_range(read_nt, bps, drive, startSector, byteOffset, byteCount);
}

SectorRead ReadDriveSectorsInt25(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  return read_range(read_int25, bps, drive, startSector, byteOffset, byteCount);
}

SectorRead ReadDriveSectorsExt(Integer bps, const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  return read_range(read_extended, bps, drive, startSector, byteOffset, byteCount);
}

}  // namespace volumar
