// The 9x disk service: register records in, sectors moved, carry out.
#include "platform/vwin32.h"

#include <array>
#include <atomic>
#include <cstring>
#include <memory>

#include "platform/address_table.h"
#include "platform/device_records.h"
#include "platform/drive_map.h"
#include "platform/error_codes.h"
#include "platform/host_file.h"
#include "platform/volume_probe.h"

namespace win {
namespace {

struct VolumeLock {
  unsigned owner = 0;
  std::vector<unsigned> levels;
};

struct LockTable {
  std::mutex mutex;
  std::array<VolumeLock, 26> volumes;
};

LockTable& locks() {
  static LockTable t;
  return t;
}

std::atomic<bool> g_require_lock{false};
std::atomic<unsigned> g_next_id{1};

// Drive letter of a zero-based number; 0 when out of range or unmapped.
char mapped_letter(unsigned zero_based) {
  if (zero_based >= 26) return 0;
  char letter = static_cast<char>('A' + zero_based);
  return DriveMap::find(letter) ? letter : 0;
}

DWORD write_permission(char letter, unsigned id) {
  LockTable& t = locks();
  std::lock_guard lock(t.mutex);
  const VolumeLock& v = t.volumes[static_cast<std::size_t>(letter - 'A')];
  if (v.owner && v.owner != id) return ERROR_LOCK_VIOLATION;
  if (g_require_lock && v.owner != id) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

DWORD lock_volume(char letter, unsigned id, unsigned level) {
  if (level > 3) return ERROR_INVALID_PARAMETER;
  LockTable& t = locks();
  std::lock_guard lock(t.mutex);
  VolumeLock& v = t.volumes[static_cast<std::size_t>(letter - 'A')];
  if (v.owner && v.owner != id) return ERROR_ACCESS_DENIED;
  bool next = v.levels.empty() ? level <= 1 : level == v.levels.back() + 1;
  if (!next) return ERROR_ACCESS_DENIED;
  v.levels.push_back(level);
  v.owner = id;
  return ERROR_SUCCESS;
}

DWORD unlock_volume(char letter, unsigned id) {
  LockTable& t = locks();
  std::lock_guard lock(t.mutex);
  VolumeLock& v = t.volumes[static_cast<std::size_t>(letter - 'A')];
  if (v.owner != id || v.levels.empty()) return ERROR_NOT_LOCKED;
  v.levels.pop_back();
  if (v.levels.empty()) v.owner = 0;
  return ERROR_SUCCESS;
}

// Moves `count` of the volume's own sectors from `start` between the volume
// and the registered buffer at `address`, wholly or not at all.
DWORD transfer(char letter, unsigned id, bool write, std::uint64_t start, std::uint64_t count, DWORD address) {
  std::unique_ptr<HostFile> volume;
  DWORD error = open_volume(letter, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, volume);
  if (error) return error == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_DRIVE : error;
  std::uint8_t boot[512] = {};
  std::uint64_t sector = 512;
  if (volume->read_all(0, boot, sizeof boot) == ERROR_SUCCESS) {
    BootSectorFacts facts = probe_boot_sector(boot, sizeof boot);
    if (facts.kind != FsKind::Unknown && facts.kind != FsKind::Ntfs) sector = facts.bytes_per_sector;
  }
  const std::uint64_t length = count * sector;
  if (length > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
  std::uint8_t* buffer = resolve_address(address, static_cast<std::size_t>(length));
  if (!buffer && length) return ERROR_INVALID_PARAMETER;
  if (bytes_inside(volume->size(), start * sector, length) != length) return ERROR_SECTOR_NOT_FOUND;
  if (length == 0) return ERROR_SUCCESS;
  if (write) {
    if ((error = write_permission(letter, id))) return error;
    return volume->write_all(start * sector, buffer, static_cast<DWORD>(length));
  }
  return volume->read_all(start * sector, buffer, static_cast<DWORD>(length));
}

// INT 25h/26h report the driver's status rather than a system error.
WORD absolute_disk_status(DWORD error) {
  switch (error) {
    case ERROR_WRITE_PROTECT: return 0x0300;
    case ERROR_SECTOR_NOT_FOUND: return 0x0408;
    case ERROR_NOT_READY: return 0x8002;
    case ERROR_READ_FAULT: return 0x200B;
    case ERROR_WRITE_FAULT: return 0x200A;
    case ERROR_INVALID_DRIVE: return 0x0001;
    default: return 0x000C;
  }
}

DWORD read_packet(DWORD address, DISKIO& packet, std::vector<BYTE>* copy) {
  const std::uint8_t* p = resolve_address(address, DISKIO_SIZE);
  if (!p) return ERROR_INVALID_PARAMETER;
  packet = decode_diskio(p);
  if (copy) copy->assign(p, p + DISKIO_SIZE);
  return ERROR_SUCCESS;
}

DWORD dos_ioctl(const DIOC_REGISTERS& r, unsigned id) {
  if ((r.reg_EAX & 0xFFFF) != DOS_GENERIC_IOCTL) return ERROR_INVALID_FUNCTION;
  const unsigned drive = r.reg_EBX & 0xFF, level = (r.reg_EBX >> 8) & 0xFF;
  const unsigned minor = r.reg_ECX & 0xFF, category = (r.reg_ECX >> 8) & 0xFF;
  if (category != IOCTL_CATEGORY_FAT32 && category != IOCTL_CATEGORY_FAT) return ERROR_INVALID_FUNCTION;
  if (minor != IOCTL_LOCK_LOGICAL_VOLUME && minor != IOCTL_UNLOCK_LOGICAL_VOLUME) return ERROR_INVALID_FUNCTION;
  char letter = drive ? mapped_letter(drive - 1) : 0;
  if (!letter) return ERROR_INVALID_DRIVE;
  return minor == IOCTL_LOCK_LOGICAL_VOLUME ? lock_volume(letter, id, level) : unlock_volume(letter, id);
}

DWORD absolute_disk(const DIOC_REGISTERS& r, unsigned id, bool write, std::vector<BYTE>* copy) {
  char letter = mapped_letter(r.reg_EAX & 0xFF);
  if (!letter) return ERROR_INVALID_DRIVE;
  if (r.reg_ECX == 0xFFFF || r.reg_ECX == 0xFFFFFFFF) {  // the large-volume form
    DISKIO packet;
    if (DWORD error = read_packet(r.reg_EBX, packet, copy)) return error;
    return transfer(letter, id, write, packet.dwStartSector, packet.wSectors, packet.dwBuffer);
  }
  return transfer(letter, id, write, r.reg_EDX, r.reg_ECX, r.reg_EBX);
}

DWORD extended_disk(const DIOC_REGISTERS& r, unsigned id, std::vector<BYTE>* copy) {
  if ((r.reg_EAX & 0xFFFF) != DOS_EXTENDED_ABSOLUTE_DISK) return ERROR_INVALID_FUNCTION;
  if ((r.reg_ECX & 0xFFFF) != 0xFFFF) return ERROR_INVALID_PARAMETER;
  const unsigned drive = r.reg_EDX & 0xFF;
  char letter = drive ? mapped_letter(drive - 1) : 0;
  if (!letter) return ERROR_INVALID_DRIVE;
  DISKIO packet;
  if (DWORD error = read_packet(r.reg_EBX, packet, copy)) return error;
  return transfer(letter, id, (r.reg_ESI & DISKIO_WRITE) != 0, packet.dwStartSector, packet.wSectors, packet.dwBuffer);
}

}  // namespace

void set_vwin32_require_lock(bool require) { g_require_lock = require; }

Vwin32Connection::Vwin32Connection() : id(g_next_id++) {}

Vwin32Connection::~Vwin32Connection() {
  LockTable& t = locks();
  std::lock_guard lock(t.mutex);
  for (VolumeLock& v : t.volumes)
    if (v.owner == id) v = {};
}

DWORD vwin32_control(Vwin32Connection& connection, DWORD code, const void* in, DWORD in_size, void* out, DWORD out_size,
                     DWORD& returned, std::vector<BYTE>* packet) {
  returned = 0;
  if (code == DIOC_GETVERSION) return ERROR_SUCCESS;
  if (code != VWIN32_DIOC_DOS_IOCTL && code != VWIN32_DIOC_DOS_INT25 && code != VWIN32_DIOC_DOS_INT26 &&
      code != VWIN32_DIOC_DOS_DRIVEINFO)
    return ERROR_NOT_SUPPORTED;
  if (!in || in_size < DIOC_REGISTERS_SIZE || !out || out_size < DIOC_REGISTERS_SIZE) return ERROR_INVALID_PARAMETER;
  DIOC_REGISTERS r = decode_dioc_registers(in);
  DWORD error = ERROR_SUCCESS;
  WORD status = 0;
  switch (code) {
    case VWIN32_DIOC_DOS_IOCTL: status = static_cast<WORD>(error = dos_ioctl(r, connection.id)); break;
    case VWIN32_DIOC_DOS_INT25:
    case VWIN32_DIOC_DOS_INT26:
      error = absolute_disk(r, connection.id, code == VWIN32_DIOC_DOS_INT26, packet);
      status = absolute_disk_status(error);
      break;
    default: status = static_cast<WORD>(error = extended_disk(r, connection.id, packet)); break;
  }
  if (error) {
    r.reg_Flags |= CARRY_FLAG;
    r.reg_EAX = (r.reg_EAX & 0xFFFF0000u) | status;
  } else {
    r.reg_Flags &= ~CARRY_FLAG;
  }
  encode_dioc_registers(r, out);
  returned = DIOC_REGISTERS_SIZE;
  return ERROR_SUCCESS;
}

}  // namespace win
