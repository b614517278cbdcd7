// Codecs of the device request records.
#include "platform/device_records.h"

#include "format/byte_order.h"

namespace win {
namespace {
using ondisk::le16;
using ondisk::le32;
using ondisk::le64;
using ondisk::put_le16;
using ondisk::put_le32;
using ondisk::put_le64;
const std::uint8_t* in(const void* p) { return static_cast<const std::uint8_t*>(p); }
std::uint8_t* out(void* p) { return static_cast<std::uint8_t*>(p); }
}  // namespace

DIOC_REGISTERS decode_dioc_registers(const void* p) {
  DIOC_REGISTERS r;
  r.reg_EBX = le32(in(p), 0);
  r.reg_EDX = le32(in(p), 4);
  r.reg_ECX = le32(in(p), 8);
  r.reg_EAX = le32(in(p), 12);
  r.reg_EDI = le32(in(p), 16);
  r.reg_ESI = le32(in(p), 20);
  r.reg_Flags = le32(in(p), 24);
  return r;
}

void encode_dioc_registers(const DIOC_REGISTERS& r, void* p) {
  put_le32(out(p), 0, r.reg_EBX);
  put_le32(out(p), 4, r.reg_EDX);
  put_le32(out(p), 8, r.reg_ECX);
  put_le32(out(p), 12, r.reg_EAX);
  put_le32(out(p), 16, r.reg_EDI);
  put_le32(out(p), 20, r.reg_ESI);
  put_le32(out(p), 24, r.reg_Flags);
}

DISKIO decode_diskio(const void* p) {
  DISKIO d;
  d.dwStartSector = le32(in(p), 0);
  d.wSectors = le16(in(p), 4);
  d.dwBuffer = le32(in(p), 6);
  return d;
}

void encode_diskio(const DISKIO& d, void* p) {
  put_le32(out(p), 0, d.dwStartSector);
  put_le16(out(p), 4, d.wSectors);
  put_le32(out(p), 6, d.dwBuffer);
}

DISK_GEOMETRY decode_disk_geometry(const void* p) {
  DISK_GEOMETRY g;
  g.Cylinders = static_cast<std::int64_t>(le64(in(p), 0));
  g.MediaType = le32(in(p), 8);
  g.TracksPerCylinder = le32(in(p), 12);
  g.SectorsPerTrack = le32(in(p), 16);
  g.BytesPerSector = le32(in(p), 20);
  return g;
}

void encode_disk_geometry(const DISK_GEOMETRY& g, void* p) {
  put_le64(out(p), 0, static_cast<std::uint64_t>(g.Cylinders));
  put_le32(out(p), 8, g.MediaType);
  put_le32(out(p), 12, g.TracksPerCylinder);
  put_le32(out(p), 16, g.SectorsPerTrack);
  put_le32(out(p), 20, g.BytesPerSector);
}

}  // namespace win
