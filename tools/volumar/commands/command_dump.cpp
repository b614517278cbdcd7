// volumar dump DRIVE: hex dumps of sectors in the sector editor's format.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/sector_dump.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

struct DumpOptions {
  bool raw = false;
  DriveArgument drive;
  std::string section;
  std::int64_t sector = -1;
  bool sector_given = false;
  std::int64_t count = 1;
};

// Large reads keep a long dump fast; this many bytes per read.
constexpr std::int64_t kReadBytes = 1 << 20;

int run_dump(const DumpOptions& o) {
  const char letter = resolve_drive_argument(o.drive);
  EditorSession session = o.raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!session.raw()) session.require_fat();
  std::int64_t first = 0;
  if (o.sector_given)
    first = o.sector;
  else if (!o.section.empty() && session.raw())
    usage_error("--raw has no sections: give --sector");
  else if (!o.section.empty())
    first = session.section(section_from_word(o.section)).first;
  session.check_sectors(first, o.count);

  const std::int64_t bps = session.bytes_per_sector();
  const std::int64_t per_read = std::max<std::int64_t>(1, kReadBytes / bps);
  ProgressBar progress("dump", static_cast<std::uint64_t>(o.count));
  SectorDumper dumper(static_cast<std::size_t>(bps));
  // "Sector N" CR LF with N of at most 19 digits.
  constexpr std::size_t kSectorLineRoom = 32;
  const std::size_t room = static_cast<std::size_t>(per_read) * (kSectorLineRoom + dumper.room());
  // Uninitialised on purpose: every byte written out is written first.
  const std::unique_ptr<char[]> out(new char[room]);
  for (std::int64_t done = 0; done < o.count;) {
    const std::int64_t n = std::min(per_read, o.count - done);
    const auto bytes = session.read_sectors(first + done, n);
    char* p = out.get();
    for (std::int64_t i = 0; i < n; ++i) {
      if (o.count > 1) {
        static constexpr char kSector[] = "Sector ";
        std::memcpy(p, kSector, sizeof kSector - 1);
        p += sizeof kSector - 1;
        p = std::to_chars(p, p + kSectorLineRoom, first + done + i).ptr;
        *p++ = '\r';
        *p++ = '\n';
      }
      p = dumper.write(p, bytes.data() + i * bps);
    }
    const auto size = static_cast<std::size_t>(p - out.get());
    if (std::fwrite(out.get(), 1, size, stdout) != size) fail("cannot write the dump");
    done += n;
    progress.update(static_cast<std::uint64_t>(done));
  }
  progress.finish();
  return 0;
}

}  // namespace

void add_dump_command(CommandContext& ctx) {
  auto o = std::make_shared<DumpOptions>();
  CLI::App* sub = ctx.app.add_subcommand("dump", "Hex dump of sectors, as the sector editor shows them");
  sub->footer(
      "The text is exactly the editor's SectorDataFormattedPP (lines end in CR LF).\n"
      "With more than one sector a line \"Sector N\" stands before each dump.");
  add_drive_argument(*sub, o->drive);
  sub->add_flag("--raw", o->raw,
                "Sectors of 512 bytes by absolute number, without decoding the boot sector (for a volume whose\n"
                "boot sector is damaged)");
  sub->add_option("--section", o->section, "Start at the section's first sector")
      ->check(CLI::IsMember({"mbr", "fat1", "fat2", "root", "data"}))
      ->type_name("mbr|fat1|fat2|root|data");
  sub->add_option("--sector", o->sector, "First sector (absolute; default 0 or the section's first)")
      ->type_name("N")
      ->check(whole_number(0));
  sub->add_option("--count", o->count, "Number of sectors (default 1)")->type_name("K")->check(whole_number(1));
  sub->callback([&run = ctx.run, o, sub] {
    o->sector_given = sub->count("--sector") > 0;
    run = [o] { return run_dump(*o); };
  });
}

}  // namespace volumar_tool
