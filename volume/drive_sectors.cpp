#include "volume/drive_sectors.h"

#include <algorithm>

#include "frame/runtime_error.h"
#include "rawio/read_sectors.h"
#include "rawio/sector_span.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"
#include "volume/fat_tables.h"

namespace volumar {

SectorAccess DriveSectorAccess() {
  const DriveInfoRecord& d = DriveInfo();
  const bool absolute = d.FsType == u"FAT12" || d.FsType == u"FAT16";
  return {d.BytesPerSector, absolute ? DiskRequest::Absolute : DiskRequest::Extended};
}

std::optional<win::Bytes> ReadDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount) {
  return ReadDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, byteCount).bytes;
}

namespace {

// Before a write of `bytes` bytes from byteOffset of startSector: where it
// reaches FAT copy 1 of the selected volume, the tables are held as the
// copy is now.
void hold_fat_tables(const String& drive, Long startSector, Long byteOffset, std::size_t bytes) {
  const DriveInfoRecord& d = DriveInfo();
  // The tables come from FatRoot, set at selection only for a volume that has them.
  if (d.FatRoot.empty() || drive.empty() || drive_number(drive) != drive_number(d.FatRoot)) return;
  const auto bps = static_cast<std::int64_t>(std::max<Integer>(d.BytesPerSector, 1));
  const std::int64_t fat_first = std::int64_t{d.ReservedSectors} * bps;
  const std::int64_t fat_end = fat_first + std::int64_t{d.SectorsPerFat} * bps;
  const std::int64_t first = std::int64_t{startSector} * bps + byteOffset;
  const std::int64_t end = first + static_cast<std::int64_t>(bytes);
  if (first < fat_end && fat_first < end)
    HoldFatTablesBeforeWrite(static_cast<std::uint64_t>(std::max(first, fat_first) - fat_first),
                             static_cast<std::uint64_t>(std::min(end, fat_end) - fat_first));
}

[[noreturn]] void raise_incomplete(const std::string& what, Long startSector, std::uint64_t bytes) {
  raise_error(win::kErrDeviceIoError, what + " could not be read (sector " + std::to_string(startSector) + ", " +
                                          std::to_string(bytes) + " bytes): the volume delivered less");
}

}  // namespace

Boolean WriteDriveSectors(const String& drive, Long startSector, Long byteOffset, const String& data, Long writeKind) {
  hold_fat_tables(drive, startSector, byteOffset, data.size());
  return WriteDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, data, writeKind);
}

Boolean UpdateDriveSectors(const String& drive, Long startSector, Long byteOffset, Long byteCount,
                           const ByteChange& change, Long writeKind) {
  hold_fat_tables(drive, startSector, byteOffset, static_cast<std::size_t>(byteCount));
  return UpdateDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, byteCount, change, writeKind);
}

win::Bytes ReadDriveSectorsWhole(const String& drive, Long startSector, Long byteOffset, Long byteCount,
                                 const std::string& what) {
  SectorRead read = ReadDriveSectors(DriveSectorAccess(), drive, startSector, byteOffset, byteCount);
  if (!read.bytes) raise_error(win::kErrTypeMismatch);
  if (!read.complete) raise_incomplete(what, startSector, byteCount);
  return std::move(*read.bytes);
}

void ReadDriveSectorsWholeInto(const String& drive, Long startSector, std::span<std::uint8_t> into,
                               const std::string& what) {
  const SpanRead read = ReadDriveSectorsInto(DriveSectorAccess(), drive, startSector, into);
  if (read == SpanRead::NoDevice) raise_error(win::kErrTypeMismatch);
  if (read == SpanRead::Short) raise_incomplete(what, startSector, into.size());
}

}  // namespace volumar
