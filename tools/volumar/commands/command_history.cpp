// volumar history DRIVE: the changes the undo journal holds for a volume.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "format/boot_sector.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/json_output.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/journal_sectors.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

std::string state_text(const JournalChange& c) {
  if (c.state == "open") return "interrupted";
  return c.state;
}

int run_history(const DriveArgument& drive, bool json) {
  const char letter = resolve_drive_argument(drive);
  const VolumeKey key = volume_key(letter);
  if (key.path.empty()) fail(drive.text + ": no raw volume behind this drive");
  UndoJournal* j = journal();
  if (!j) usage_error("history needs the journal (--no-journal is given)");
  const auto changes = j->changes(key);
  const std::uint32_t bps = journal_sector_size(key);
  if (json) {
    Json list = Json::array();
    for (const JournalChange& c : changes)
      list.push_back({{"id", c.id},
                      {"time", c.time},
                      {"state", state_text(c)},
                      {"sectors", sector_list(c, bps)},
                      {"undoes", c.undoes ? Json(c.undoes) : Json()},
                      {"command", c.command}});
    print_json({{"volume", drive.text}, {"changes", list}});
    return 0;
  }
  if (changes.empty()) {
    std::printf("no changes recorded for %s\n", drive.text.c_str());
    return 0;
  }
  std::printf("%-5s %-20s %-11s %-24s %s\n", "ID", "TIME (UTC)", "STATE", "SECTORS", "COMMAND");
  for (const JournalChange& c : changes) {
    std::string what = c.command;
    if (c.undoes) what = "(undo of " + std::to_string(c.undoes) + ") " + what;
    std::printf("%-5lld %-20s %-11s %-24s %s\n", static_cast<long long>(c.id), c.time.c_str(), state_text(c).c_str(),
                sector_list(c, bps).c_str(), what.c_str());
  }
  return 0;
}

}  // namespace

void add_history_command(CommandContext& ctx) {
  auto drive = std::make_shared<DriveArgument>();
  auto json = std::make_shared<bool>(false);
  CLI::App* sub = ctx.app.add_subcommand("history", "List the changes the undo journal holds for a volume");
  sub->footer(
      "One line per change: its number (for undo --change), when, its state (complete, undone,\n"
      "interrupted), the sectors it wrote and the command line that made it.");
  add_drive_argument(*sub, *drive);
  add_json_flag(*sub, *json);
  sub->callback([&run = ctx.run, drive, json] { run = [drive, json] { return run_history(*drive, *json); }; });
}

}  // namespace volumar_tool
