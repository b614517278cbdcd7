// volumar edit DRIVE: the terminal sector editor.
#include <CLI/CLI.hpp>
#include <memory>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/editor/terminal_editor.h"
#include "tools/volumar/host/drive_argument.h"

namespace volumar_tool {

void add_edit_command(CommandContext& ctx) {
  auto drive = std::make_shared<DriveArgument>();
  auto force = std::make_shared<bool>(false);
  auto raw = std::make_shared<bool>(false);
  CLI::App* sub = ctx.app.add_subcommand("edit", "Interactive terminal sector editor (press ? inside for the keys)");
  sub->footer(
      "Inside: ? lists every key. / and \\ search for hex bytes or text, g goes to a sector (also boot, fsinfo,\n"
      "backup), Tab types in the text column, w writes (journaled: `volumar undo` takes it back), q quits.");
  add_drive_argument(*sub, *drive);
  sub->add_flag("--force", *force, "Write even to a mounted block device");
  sub->add_flag("--raw", *raw, "Sectors of 512 bytes by number, without sections or clusters (a damaged boot sector)");
  sub->callback([&run = ctx.run, drive, force, raw] {
    run = [drive, force, raw] { return run_terminal_editor(resolve_drive_argument(*drive), *force, *raw); };
  });
}

}  // namespace volumar_tool
