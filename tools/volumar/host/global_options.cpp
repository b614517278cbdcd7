// Global options: drive map, family, disks, registry, trace, read-only.
#include "tools/volumar/host/global_options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/drive_map.h"
#include "platform/family.h"
#include "platform/registry/registry.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/host/trace_printer.h"
#include "tools/volumar/journal/undo_journal.h"
#include "volumar10/version.h"

namespace volumar_tool {

void add_global_options(CLI::App& app, GlobalOptions& o) {
  app.add_option("-d,--drive", o.drives,
                 "Map a drive letter to an image file or block device (repeatable):\n"
                 "L=PATH[,partition=N][,offset=BYTES][,length=BYTES][,folder=DIR][,type=NAME]\n"
                 "BYTES: a number, 0x hex, or with a unit: 2048s (sectors of the disk), KiB, MiB, GiB\n"
                 "type: Removable, Fixed, Remote, CDRom or RAMDisk")
      ->type_name("L=PATH[,...]");
  app.add_option("--family", o.family, "Platform family the library sees (default nt)")
      ->check(CLI::IsMember({"nt", "9x"}))
      ->type_name("nt|9x");
  app.add_option("--disk", o.disks,
                 "Whole disk behind \\\\.\\PHYSICALDRIVE0, 1, ... in order (repeatable);\n"
                 "default: the machine's own disks")
      ->type_name("PATH");
  app.add_option("--registry", o.registry, "Registry store file (default " + default_registry_path() + ")")
      ->type_name("FILE");
  app.add_option("--journal", o.journal, "Undo journal file (default " + default_journal_path() + ")")
      ->type_name("FILE");
  app.add_flag("--no-journal", o.no_journal, "Write without keeping the bytes for undo");
  app.add_flag("--dry-run", o.dry_run, "Show the sectors and bytes each write would change, and write nothing");
  // Ends the process before the given write reaches the volume, as a crash
  // or power loss would: for the tests of interrupted changes.
  app.add_option("--crash-after-writes", o.crash_after_writes)->group("");
  app.add_option("--fault", o.fault)->group("");
  app.add_flag("--trace", o.trace, "Print every platform call on standard error");
  app.add_flag("--read-only", o.read_only, "Open every volume read-only: writes fail and nothing changes");
  app.add_flag("-q,--quiet", o.quiet, "No progress bars, even on a terminal");
  app.add_flag("-v,--verbose", o.verbose, "Say which journal change each write was kept as");
  app.set_version_flag("-V,--version", std::string("volumar ") + volumar::kVersionString,
                       "Print the program's version and exit");
}

void apply_global_options(const GlobalOptions& o) {
  install_message_box_printer();
  if (o.trace) install_trace_printer();
  if (o.quiet) disable_progress();
  win::set_family(o.family == "9x" ? win::Family::Win9x : win::Family::NT);
  std::map<char, std::string> given;
  for (const std::string& text : o.drives) {
    const DriveMapping mapping = parse_drive_mapping(text);
    if (const auto [at, fresh] = given.emplace(mapping.letter, text); !fresh)
      usage_error("--drive " + std::string(1, mapping.letter) + ": the letter is mapped twice ('" + at->second +
                  "' and '" + text + "')");
    win::DriveMap::map(mapping.letter, mapping.volume);
  }
  // A disk must be there and have sectors to read.
  for (const std::string& disk : o.disks) {
    if (const std::string why = unusable_name(disk); !why.empty()) usage_error("--disk: the path " + why);
    struct stat st {};
    if (::stat(disk.c_str(), &st) != 0) usage_error("--disk " + disk + ": " + std::strerror(errno));
    if (const char* kind = unusable_file_kind(st.st_mode))
      usage_error("--disk " + disk + ": " + kind + ", not an image or device");
  }
  if (!o.disks.empty()) win::DriveMap::set_physical_drives(o.disks);
  win::DriveMap::set_read_only(o.read_only);
}

std::string default_registry_path() {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::filesystem::path(home) / ".local" / "share";
  else
    base = std::filesystem::temp_directory_path();
  return (base / "volumar10" / "registry.db").string();
}

namespace {

// Why the store did not open, or nothing when it did.
std::optional<std::string> use_registry_file(const std::string& registry) {
  const std::filesystem::path path = registry.empty() ? default_registry_path() : registry;
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  const std::string what = "cannot open the registry store " + path.string() + ": ";
  struct stat st {};
  const bool there = ::stat(path.c_str(), &st) == 0;
  // A FIFO would block the store's first read.
  if (const char* kind = there ? unusable_file_kind(st.st_mode) : nullptr) return what + kind + ", not a file";
  if (win::registry_use_file(path)) return std::nullopt;
  if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), R_OK | W_OK) != 0) return what + std::strerror(errno);
  return what + "not a registry store";
}

std::optional<std::string> g_registry_failure;

}  // namespace

void open_registry(const GlobalOptions& o) {
  if (auto why = use_registry_file(o.registry)) fail(*why);
}

void open_registry_when_needed(const GlobalOptions& o) {
  win::registry_open_when_needed([registry = o.registry] {
    g_registry_failure = use_registry_file(registry);
    return !g_registry_failure;
  });
}

const std::optional<std::string>& registry_open_failure() { return g_registry_failure; }

}  // namespace volumar_tool
