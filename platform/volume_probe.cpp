// Volume identification from the boot sector and root directory.
#include "platform/volume_probe.h"

#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace win {
namespace {

bool power_of_two(DWORD v) { return v && !(v & (v - 1)); }

std::string trimmed(const std::uint8_t* p, std::size_t n) {
  std::string s(reinterpret_cast<const char*>(p), n);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string without_no_name(std::string label) { return label == "NO NAME" ? std::string() : label; }

// Looks through directory entries for the volume label; stop is set at the
// end-of-directory entry.
bool find_label(const std::uint8_t* entries, std::size_t bytes, std::string& label, bool& stop) {
  for (std::size_t at = 0; at + 32 <= bytes; at += 32) {
    const std::uint8_t* e = entries + at;
    if (e[0] == 0x00) {
      stop = true;
      return false;
    }
    if (e[0] == 0xE5) continue;
    std::uint8_t attr = e[11];
    if ((attr & 0x3F) == 0x0F) continue;  // a long-name part
    if ((attr & 0x08) && !(attr & 0x10)) {
      std::uint8_t name[11];
      std::memcpy(name, e, 11);
      if (name[0] == 0x05) name[0] = 0xE5;
      label = trimmed(name, 11);
      return true;
    }
  }
  return false;
}

}  // namespace

const char* fs_name(FsKind kind) {
  switch (kind) {
    case FsKind::Fat12:
    case FsKind::Fat16: return "FAT";
    case FsKind::Fat32: return "FAT32";
    case FsKind::Ntfs: return "NTFS";
    default: return "";
  }
}

BootSectorFacts decode_boot_sector(const std::uint8_t* b, std::size_t size) {
  BootSectorFacts f;
  if (size < 512) return f;
  const DWORD bps = le16(b, 11);
  if (std::memcmp(b + 3, "NTFS    ", 8) == 0) {
    f.kind = FsKind::Ntfs;
    f.bytes_per_sector = bps;
    f.serial = le32(b, 0x48);
    return f;
  }
  if (b[0] != 0xEB && b[0] != 0xE9) return f;
  if (!power_of_two(bps) || bps < 128 || bps > 4096) return f;
  const DWORD spc = b[13];
  const DWORD reserved = le16(b, 14);
  const DWORD fats = b[16];
  const DWORD root_entries = le16(b, 17);
  const DWORD media = b[21];
  const std::uint64_t total = le16(b, 19) ? le16(b, 19) : le32(b, 32);
  const bool fat32_layout = le16(b, 22) == 0;
  const std::uint64_t fat_size = fat32_layout ? le32(b, 36) : le16(b, 22);
  if (!power_of_two(spc) || reserved == 0 || fats == 0 || (media != 0xF0 && media < 0xF8) || total == 0 ||
      fat_size == 0 || (!fat32_layout && root_entries == 0))
    return f;
  const std::uint64_t root_sectors = (std::uint64_t{root_entries} * 32 + bps - 1) / bps;
  const std::uint64_t meta = reserved + fats * fat_size + root_sectors;
  if (meta >= total) return f;
  const std::uint64_t clusters = (total - meta) / spc;
  if (clusters == 0) return f;
  f.kind = fat32_layout ? FsKind::Fat32 : clusters < 4085 ? FsKind::Fat12 : FsKind::Fat16;
  f.bytes_per_sector = bps;
  f.sectors_per_cluster = spc;
  f.reserved_sectors = reserved;
  f.cluster_count = static_cast<DWORD>(std::min<std::uint64_t>(clusters, 0xFFFFFFFFu));
  const std::size_t ext = fat32_layout ? 64 : 36;  // the extended BPB's drive number
  const std::uint8_t signature = b[ext + 2];
  if (signature == 0x28 || signature == 0x29) f.serial = le32(b, ext + 3);
  if (signature == 0x29) f.boot_label = trimmed(b + ext + 7, 11);
  f.root_dir_sector = reserved + fats * fat_size;
  if (fat32_layout)
    f.root_cluster = le32(b, 44);
  else
    f.root_entries = root_entries;
  return f;
}

DWORD identify_volume(const VolumeReader& read, VolumeIdentity& id) {
  id = {};
  std::vector<std::uint8_t> sector(512);
  if (!read(0, sector.data(), sector.size())) return ERROR_NOT_READY;
  BootSectorFacts f = decode_boot_sector(sector.data(), sector.size());
  if (f.kind == FsKind::Unknown) return ERROR_UNRECOGNIZED_VOLUME;
  id.kind = f.kind;
  id.bytes_per_sector = f.bytes_per_sector;
  id.serial = f.serial;
  id.label = without_no_name(f.boot_label);
  if (f.kind == FsKind::Ntfs) return ERROR_SUCCESS;

  std::string label;
  bool stop = false, found = false;
  const std::uint64_t bps = f.bytes_per_sector;
  if (f.kind != FsKind::Fat32) {
    std::vector<std::uint8_t> root(std::size_t{f.root_entries} * 32);
    if (read(f.root_dir_sector * bps, root.data(), root.size())) found = find_label(root.data(), root.size(), label, stop);
  } else {
    const std::uint64_t cluster_bytes = bps * f.sectors_per_cluster;
    std::vector<std::uint8_t> buffer(cluster_bytes);
    DWORD cluster = f.root_cluster;
    // Bounded: a damaged chain that loops still ends.
    for (DWORD walked = 0; walked < f.cluster_count && walked < 4096 && !found && !stop; ++walked) {
      if (cluster < 2 || cluster - 2 >= f.cluster_count) break;
      std::uint64_t at = (f.root_dir_sector + std::uint64_t{cluster - 2} * f.sectors_per_cluster) * bps;
      if (!read(at, buffer.data(), buffer.size())) break;
      found = find_label(buffer.data(), buffer.size(), label, stop);
      std::uint8_t entry[4];
      if (!read(std::uint64_t{f.reserved_sectors} * bps + std::uint64_t{cluster} * 4, entry, 4)) break;
      cluster = le32(entry, 0) & 0x0FFFFFFF;
    }
  }
  if (found) id.label = without_no_name(label);
  return ERROR_SUCCESS;
}

}  // namespace win
