// volumar mark DRIVE bad|free: marks one cluster in every FAT copy.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "tools/volumar/commands.h"
#include "tools/volumar/drive_argument.h"
#include "tools/volumar/editor_session.h"
#include "tools/volumar/tool_error.h"
#include "tools/volumar/write_guard.h"

namespace volumar_tool {
namespace {

// DRWFindClusterConstants
constexpr std::int32_t kFreeMarkBad = 2, kBadMarkFree = 6;

struct MarkOptions {
  std::string drive;
  std::string state;
  std::int64_t sector = -1;
  std::int64_t cluster = -1;
  bool yes = false;
  bool force = false;
};

int run_mark(const MarkOptions& o) {
  EditorSession session(resolve_drive_argument(o.drive));
  session.require_fat();
  std::int64_t cluster, sector;
  if (o.sector >= 0) {
    session.check_data_sector(o.sector);
    sector = o.sector;
    cluster = session.cluster_of(sector);
  } else {
    session.check_cluster(o.cluster);
    cluster = o.cluster;
    sector = session.first_sector_of(cluster);
  }
  guard_write(session.letter(),
              "Mark cluster " + std::to_string(cluster) + " of " + session.letter() + ": as " + o.state + "?", o.yes,
              o.force);
  session.put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(sector)));
  const std::int32_t action = o.state == "bad" ? kFreeMarkBad : kBadMarkFree;
  const std::u16string result = win::to_string(session.call(u"FindCluster", {win::Variant(action)}));
  if (!result.empty()) {
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
  sub->footer("Prints \"Cluster: C\". Asks before writing unless --yes; without a terminal it needs --yes.");
  sub->add_option("DRIVE", o->drive, "Drive letter or image path")->required();
  sub->add_option("STATE", o->state, "bad or free")->required()->check(CLI::IsMember({"bad", "free"}));
  auto* s = sub->add_option("--sector", o->sector, "The cluster that holds this sector")
                ->type_name("N")
                ->check(CLI::NonNegativeNumber);
  auto* c = sub->add_option("--cluster", o->cluster, "The cluster")->type_name("C")->check(CLI::NonNegativeNumber);
  s->excludes(c);
  c->excludes(s);
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force, "Write even to a mounted block device");
  sub->callback([&run = ctx.run, o, sub] {
    if (sub->count("--sector") + sub->count("--cluster") == 0)
      throw CLI::RequiredError("--sector or --cluster");
    run = [o] { return run_mark(*o); };
  });
}

}  // namespace volumar_tool
