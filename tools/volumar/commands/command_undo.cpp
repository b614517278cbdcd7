// volumar undo DRIVE: puts back the bytes a change overwrote. The undo is a
// change of its own, journaled like any write, so it can be undone too.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/journal_sectors.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

struct UndoOptions {
  DriveArgument drive;
  std::int64_t change = 0;
  bool yes = false;
  bool force = false;
};

// The change to undo: the one asked for, or the last one neither undone nor
// an undo itself, so that undo after undo walks back through the history
// (an undo is taken back by naming it with --change). A change that was
// interrupted comes first, an interrupted undo too: the volume goes back to
// how it was before the command that did not finish.
JournalChange pick(const std::vector<JournalChange>& changes, const UndoOptions& o) {
  if (!o.change && !changes.empty() && changes.back().state == "open") return changes.back();
  for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
    if (o.change ? it->id != o.change : it->state == "undone" || it->undoes != 0) continue;
    if (it->state == "undone") fail("change " + std::to_string(it->id) + " was undone already");
    return *it;
  }
  if (o.change) usage_error("this volume has no change " + std::to_string(o.change) + " (see volumar history)");
  fail("nothing to undo on this volume");
}

// Writes every block back, last written first.
void restore(char letter, const JournalChange& c) {
  for (auto b = c.blocks.rbegin(); b != c.blocks.rend(); ++b)
    if (!write_volume_bytes(letter, b->position, b->before))
      fail("the undo failed part-way; `volumar history` shows what was restored and `volumar undo` takes it back");
}

int run_undo(const UndoOptions& o) {
  const char letter = resolve_drive_argument(o.drive);
  const VolumeKey key = volume_key(letter);
  if (key.path.empty()) fail(o.drive.text + ": no raw volume behind this drive");
  UndoJournal* j = journal();
  if (!j) usage_error("undo needs the journal (--no-journal is given)");
  const JournalChange c = pick(j->changes(key), o);
  const std::uint32_t bps = journal_sector_size(key);
  // A complete change is undone only over the bytes it left; an interrupted
  // one has no such record, and its blocks are put back as they were.
  JournalChange changed = c;
  changed.blocks.clear();
  for (const JournalBlock& b : c.blocks)
    if (b.after && volume_bytes(key, b.position, b.before.size()) != *b.after) changed.blocks.push_back(b);
  if (!changed.blocks.empty() && !o.force)
    fail("change " + std::to_string(c.id) + " cannot be undone: sectors " + sector_list(changed, bps) +
         " have changed since it was made (--force restores them all the same)");
  guard_write(letter, "Undo change " + std::to_string(c.id) + " (sectors " + sector_list(c, bps) + ")?", o.yes,
              o.force);
  set_undoing(c.id);
  restore(letter, c);
  if (dry_run()) return 0;
  j->mark_undone(c.id);
  std::printf("Undid change %lld: sectors %s restored\n", static_cast<long long>(c.id), sector_list(c, bps).c_str());
  return 0;
}

}  // namespace

void add_undo_command(CommandContext& ctx) {
  auto o = std::make_shared<UndoOptions>();
  CLI::App* sub = ctx.app.add_subcommand("undo", "Put back the bytes a change overwrote (the last one by default)");
  sub->footer(
      "Refuses, naming the sectors, when they have changed since the change was made, unless --force.\n"
      "An interrupted change is restored from the bytes it had begun to overwrite. The undo is\n"
      "journaled itself, so it can be undone in turn.");
  add_drive_argument(*sub, o->drive);
  sub->add_option("--change", o->change, "The change to undo (its number in volumar history)")
      ->type_name("ID")
      ->check(whole_number(1));
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force, "Restore sectors that changed since, and write to a mounted block device");
  sub->callback([&run = ctx.run, o] { run = [o] { return run_undo(*o); }; });
}

}  // namespace volumar_tool
