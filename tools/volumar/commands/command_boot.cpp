// volumar boot show|restore DRIVE: the boot sector and its FAT32 backup,
// decoded side by side, and the backup copied over a damaged primary. Both
// work without selecting the volume, since that needs a sound boot sector.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "format/boot_sector.h"
#include "format/padded_text.h"
#include "platform/family.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

struct BootOptions {
  DriveArgument drive;
  bool backup_only = false;
  bool yes = false;
  bool force = false;
};

// Where mkfs.fat and every formatter put the backup when the primary cannot say.
constexpr std::uint64_t kUsualBackupSector = 6;

struct BootCopies {
  std::uint64_t bytes_per_sector = 512;
  std::uint64_t backup_sector = kUsualBackupSector;
  std::vector<std::uint8_t> primary, backup;  // whole sectors
};

std::vector<std::uint8_t> sector(char letter, std::uint64_t n, std::uint64_t bps) {
  auto bytes = read_far_sectors(letter, n, 1, bps);
  if (!bytes) fail("sector " + std::to_string(n) + " cannot be read" + volume_size_note(letter));
  return std::move(*bytes);
}

BootCopies read_copies(char letter) {
  if (!win::is_nt_family())
    usage_error("boot reads through the volume's device path, which the 9x family does not have");
  BootCopies c;
  c.primary = sector(letter, 0, 512);
  const auto primary = ondisk::decode_boot_sector(c.primary);
  const bool sound = ondisk::boot_sector_problems(primary).empty();
  if (sound) c.bytes_per_sector = primary.bytes_per_sector;
  if (sound && primary.backup_at()) c.backup_sector = primary.backup_at();
  c.backup = sector(letter, c.backup_sector, c.bytes_per_sector);
  // A damaged primary gave no sector size: the backup says its own.
  const auto backup = ondisk::decode_boot_sector(c.backup);
  if (!sound && ondisk::boot_sector_problems(backup).empty() && backup.bytes_per_sector != c.bytes_per_sector) {
    c.bytes_per_sector = backup.bytes_per_sector;
    c.backup = sector(letter, c.backup_sector, c.bytes_per_sector);
  }
  if (sound) c.primary = sector(letter, 0, c.bytes_per_sector);
  return c;
}

std::vector<std::pair<const char*, std::string>> fields_of(const ondisk::BootSector& b) {
  auto n = [](auto v) { return std::to_string(v); };
  char serial[16];
  std::snprintf(serial, sizeof serial, "%04X-%04X", b.serial >> 16, b.serial & 0xFFFF);
  char signature[8];
  std::snprintf(signature, sizeof signature, "0x%04X", b.signature);
  return {{"OEM name", ondisk::without_padding(b.oem_name)},
          {"bytes per sector", n(b.bytes_per_sector)},
          {"sectors per cluster", n(b.sectors_per_cluster)},
          {"reserved sectors", n(b.reserved_sectors)},
          {"number of FATs", n(b.number_of_fats)},
          {"root directory entries", n(b.root_entries)},
          {"total sectors", n(b.total_sectors())},
          {"media descriptor", n(b.media)},
          {"sectors per FAT", n(b.sectors_per_fat())},
          {"hidden sectors", n(b.hidden_sectors)},
          {"root directory cluster", b.fat32_layout() ? n(b.root_cluster) : "-"},
          {"FSInfo sector", b.fat32_layout() ? n(b.fsinfo_sector) : "-"},
          {"backup boot sector", b.fat32_layout() ? n(b.backup_boot_sector) : "-"},
          {"serial", b.has_serial() ? serial : "-"},
          {"label", b.has_label_and_type() ? ondisk::without_padding(b.label) : "-"},
          {"type text", b.has_label_and_type() ? ondisk::without_padding(b.type_text) : "-"},
          {"signature", signature}};
}

int run_show(const BootOptions& o) {
  const BootCopies c = read_copies(resolve_drive_argument(o.drive));
  const auto primary = ondisk::decode_boot_sector(c.primary), backup = ondisk::decode_boot_sector(c.backup);
  const auto p = fields_of(primary), b = fields_of(backup);
  if (o.backup_only) {
    std::printf("sector %llu\n", static_cast<unsigned long long>(c.backup_sector));
    for (const auto& [name, value] : b) std::printf("%-24s %s\n", name, value.c_str());
    for (const auto& problem : ondisk::boot_sector_problems(backup)) std::printf("the backup: %s\n", problem.c_str());
    return 0;
  }
  std::printf("%-24s %-16s %-16s\n", "", "sector 0", ("sector " + std::to_string(c.backup_sector)).c_str());
  for (std::size_t i = 0; i < p.size(); ++i)
    std::printf("%-24s %-16s %-16s%s\n", p[i].first, p[i].second.c_str(), b[i].second.c_str(),
                p[i].second != b[i].second ? "  <- differs" : "");
  for (const auto& [name, copy] : {std::pair{"sector 0", &primary}, std::pair{"the backup", &backup}})
    for (const auto& problem : ondisk::boot_sector_problems(*copy)) std::printf("%s: %s\n", name, problem.c_str());
  std::printf(c.primary == c.backup ? "The copies are identical.\n" : "The copies differ.\n");
  return 0;
}

int run_restore(const BootOptions& o) {
  const char letter = resolve_drive_argument(o.drive);
  const BootCopies c = read_copies(letter);
  const auto backup = ondisk::decode_boot_sector(c.backup);
  if (!ondisk::boot_sector_problems(backup).empty() || !backup.fat32_layout())
    fail("sector " + std::to_string(c.backup_sector) + " holds no sound FAT32 backup boot sector; nothing written");
  if (c.primary == c.backup) {
    std::printf("Sector 0 already equals its backup; nothing written\n");
    return 0;
  }
  guard_write(letter, "Copy the backup boot sector (sector " + std::to_string(c.backup_sector) + ") over sector 0?",
              o.yes, o.force);
  if (!write_far_sectors(letter, 0, c.backup, c.bytes_per_sector)) fail_unwritten(letter);
  std::printf("Sector 0 restored from sector %llu\n", static_cast<unsigned long long>(c.backup_sector));
  return 0;
}

}  // namespace

void add_boot_command(CommandContext& ctx) {
  CLI::App* boot = ctx.app.add_subcommand("boot", "The boot sector and its FAT32 backup copy");
  boot->require_subcommand(1);
  auto show = std::make_shared<BootOptions>();
  CLI::App* s = boot->add_subcommand("show", "Decode sector 0 and its backup side by side, with their differences");
  add_drive_argument(*s, show->drive);
  s->add_flag("--backup", show->backup_only, "Decode the backup copy alone");
  s->callback([&run = ctx.run, show] { run = [show] { return run_show(*show); }; });
  auto restore = std::make_shared<BootOptions>();
  CLI::App* r = boot->add_subcommand("restore", "Copy the FAT32 backup boot sector over a damaged sector 0");
  r->footer("Asks before writing unless --yes; the write is journaled, so `volumar undo` takes it back.");
  add_drive_argument(*r, restore->drive);
  r->add_flag("--yes,-y", restore->yes, "Write without asking");
  r->add_flag("--force", restore->force, "Write even to a mounted block device");
  r->callback([&run = ctx.run, restore] { run = [restore] { return run_restore(*restore); }; });
}

}  // namespace volumar_tool
