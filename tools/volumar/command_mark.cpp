// volumar mark DRIVE bad|free: marks one cluster in every FAT copy.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "format/fat_entry.h"
#include "platform/drive_map.h"
#include "tools/volumar/commands.h"
#include "tools/volumar/drive_argument.h"
#include "tools/volumar/editor_session.h"
#include "tools/volumar/tool_error.h"
#include "tools/volumar/write_guard.h"
#include "volume/fat_entries.h"

namespace volumar_tool {
namespace {

struct MarkOptions {
  std::string drive;
  std::string state;
  std::int64_t sector = -1;
  std::int64_t cluster = -1;
  bool yes = false;
  bool force = false;
};

// What an entry value means, as a checker would say it.
std::string entry_meaning(ondisk::FatType type, std::uint32_t v) {
  switch (ondisk::entry_state(type, v)) {
    case ondisk::EntryState::Free: return "free";
    case ondisk::EntryState::Reserved: return "reserved";
    case ondisk::EntryState::Bad: return "bad";
    case ondisk::EntryState::EndOfChain: return "in use, end of chain";
    case ondisk::EntryState::Link: return "in use, next cluster " + std::to_string(v);
  }
  return {};
}

int run_mark(const MarkOptions& o) {
  EditorSession session(resolve_drive_argument(o.drive));
  session.require_fat();
  const volumar::VolumeGeometry& g = session.geometry();
  std::int64_t cluster;
  if (o.sector >= 0) {
    session.check_data_sector(o.sector);
    cluster = static_cast<std::int64_t>(*g.cluster_of(static_cast<std::uint64_t>(o.sector)));
  } else {
    session.check_cluster(o.cluster);
    cluster = o.cluster;
  }
  const bool bad = o.state == "bad";
  const ondisk::FatType type = *g.type;
  const auto old = volumar::FatEntryValue(static_cast<std::int32_t>(cluster));
  if (!old)
    fail("cluster " + std::to_string(cluster) + " has no entry in the FAT (the FAT is shorter than the volume)");
  const std::uint32_t value = bad ? ondisk::bad_entry(type) : ondisk::kFatFree;
  std::printf("Entry of cluster %lld: 0x%X (%s) -> 0x%X (%s)\n", static_cast<long long>(cluster), *old,
              entry_meaning(type, *old).c_str(), value, entry_meaning(type, value).c_str());
  // Cutting a file's chain, or handing a cluster known bad back for use,
  // loses data later: only on purpose.
  const auto state = ondisk::entry_state(type, *old);
  const bool in_use = state == ondisk::EntryState::Link || state == ondisk::EntryState::EndOfChain;
  if (bad && in_use && !o.force)
    fail("cluster " + std::to_string(cluster) +
         " is in use; marking it bad cuts the chain of the file that holds it"
         " (--force marks it all the same)");
  if (!bad && state == ondisk::EntryState::Bad && !o.force)
    fail("cluster " + std::to_string(cluster) +
         " is marked bad; freeing it lets files use it again"
         " (--force frees it all the same)");
  guard_write(session.letter(),
              "Mark cluster " + std::to_string(cluster) + " of " + session.letter() + ": as " + o.state + "?", o.yes,
              o.force);
  if (!volumar::SetFatEntry(session.drive(), static_cast<std::int32_t>(cluster),
                            static_cast<std::int32_t>(bad ? ondisk::kFat32Bad : ondisk::kFatFree))) {
    if (win::DriveMap::is_read_only(session.letter())) fail("the FAT was not written: the volume is read-only");
    fail("the FAT was not written");
  }
  std::printf("Cluster: %lld\n", static_cast<long long>(cluster));
  return 0;
}

}  // namespace

void add_mark_command(CommandContext& ctx) {
  auto o = std::make_shared<MarkOptions>();
  CLI::App* sub = ctx.app.add_subcommand("mark", "Mark a cluster bad or free in every FAT copy");
  sub->footer(
      "Prints the entry's old and new value and \"Cluster: C\". Asks before writing unless --yes;\n"
      "without a terminal it needs --yes. Marking a cluster in use bad, or a bad cluster free,\n"
      "needs --force.");
  sub->add_option("DRIVE", o->drive, "Drive letter or image path")->required();
  sub->add_option("STATE", o->state, "bad or free")->required()->check(CLI::IsMember({"bad", "free"}));
  auto* s = sub->add_option("--sector", o->sector, "The cluster that holds this sector")
                ->type_name("N")
                ->check(CLI::NonNegativeNumber);
  auto* c = sub->add_option("--cluster", o->cluster, "The cluster")->type_name("C")->check(CLI::NonNegativeNumber);
  s->excludes(c);
  c->excludes(s);
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force,
                "Write even to a mounted block device, and mark a cluster in use bad or a bad cluster free");
  sub->callback([&run = ctx.run, o, sub] {
    if (sub->count("--sector") + sub->count("--cluster") == 0) throw CLI::RequiredError("--sector or --cluster");
    run = [o] { return run_mark(*o); };
  });
}

}  // namespace volumar_tool
