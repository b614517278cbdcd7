// volumar fill DRIVE --sector N: WriteSectorDataWholeZEV, which fills the
// sector with question marks (0x3F).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/drive_map.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

struct FillOptions {
  bool raw = false;
  DriveArgument drive;
  std::int64_t sector = 0;
  bool yes = false;
  bool force = false;
};

int run_fill(const FillOptions& o) {
  const char letter = resolve_drive_argument(o.drive);
  require_journal();  // a writer opens its journal first: the session reads it there
  EditorSession session = o.raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!session.raw()) session.require_fat();
  session.check_sectors(o.sector, 1);
  guard_write(session.letter(),
              "Fill sector " + std::to_string(o.sector) + " of " + given_name(session.letter()) + " with '?'?", o.yes,
              o.force);
  if (session.raw() || beyond_library_reach(o.sector, 1, session.bytes_per_sector())) {
    session.write_sectors(o.sector,
                          std::vector<std::uint8_t>(static_cast<std::size_t>(session.bytes_per_sector()), '?'));
  } else {
    session.put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(o.sector)));
    session.call(u"WriteSectorDataWholeZEV");
  }
  // The member does not report the write's outcome; the sector does.
  const auto bytes = session.read_sectors(o.sector, 1);
  if (!dry_run() && !std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x3F; })) {
    fail_unwritten(session.letter());
  }
  std::printf("Filled sector %lld\n", static_cast<long long>(o.sector));
  return 0;
}

}  // namespace

void add_fill_command(CommandContext& ctx) {
  auto o = std::make_shared<FillOptions>();
  CLI::App* sub = ctx.app.add_subcommand("fill", "Overwrite a sector with question marks (WriteSectorDataWholeZEV)");
  sub->footer("Asks before writing unless --yes; without a terminal it needs --yes.");
  add_drive_argument(*sub, o->drive);
  add_raw_flag(*sub, o->raw);
  sub->add_option("--sector", o->sector, "Absolute sector")->required()->type_name("N")->check(whole_number(0));
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force, "Write even to a mounted block device");
  sub->callback([&run = ctx.run, o] { run = [o] { return run_fill(*o); }; });
}

}  // namespace volumar_tool
