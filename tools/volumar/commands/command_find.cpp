// volumar find DRIVE free|bad: the first (or next) free or bad cluster.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/json_output.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/tool_error.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"

namespace volumar_tool {
namespace {

struct FindOptions {
  DriveArgument drive;
  std::string state;
  std::int64_t after = -1;
  bool all = false;
  bool sectors = false;
  bool json = false;
};

// Every cluster in the state: one "Cluster: C  Sectors: F-L" line each, or
// with sectors_only every sector they cover, one number a line, as
// badblocks lists blocks.
int list_all(const volumar::VolumeGeometry& g, std::int32_t state, bool sectors_only, bool json) {
  std::int64_t found = 0;
  Json clusters = Json::array();
  for (std::int32_t c = volumar::FindFatEntry(1, state); c != 0; c = volumar::FindFatEntry(c, state)) {
    ++found;
    const std::uint64_t first = g.sector_of(static_cast<std::uint64_t>(c)), last = first + g.sectors_per_cluster - 1;
    if (json)
      clusters.push_back({{"cluster", c}, {"first_sector", first}, {"last_sector", last}});
    else if (sectors_only)
      for (std::uint64_t s = first; s <= last; ++s) std::printf("%llu\n", static_cast<unsigned long long>(s));
    else
      std::printf("Cluster: %d  Sectors: %llu-%llu\n", c, static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(last));
  }
  if (json) print_json({{"clusters", clusters}});
  return found ? 0 : 1;
}

int run_find(const FindOptions& o) {
  EditorSession session(resolve_drive_argument(o.drive));
  session.require_fat();
  const volumar::VolumeGeometry& g = session.geometry();
  // The library's search looks after the cluster it is given (and after
  // cluster 2 when given 0): start after cluster 1, so that the first data
  // cluster is looked at too.
  std::uint64_t start = g.kFirstDataCluster - 1;
  if (o.after >= 0) {
    session.check_sectors(o.after, 1);
    const auto sector = static_cast<std::uint64_t>(o.after);
    if (sector >= g.first_data_sector) start = g.cluster_of(sector).value_or(g.last_cluster());
  }
  const auto state = o.state == "free" ? volumar::kFatFree : volumar::kFatBad;
  if (o.all) return list_all(g, state, o.sectors, o.json);
  const std::int64_t cluster = volumar::FindFatEntry(static_cast<std::int32_t>(start), state);
  if (cluster == 0 && o.json) {
    print_json({{"cluster", nullptr}, {"first_sector", nullptr}});
    return 1;
  }
  if (cluster == 0)
    fail("no " + o.state + " cluster" + (o.after >= 0 ? " after sector " + std::to_string(o.after) : ""));
  if (o.json) {
    print_json({{"cluster", cluster}, {"first_sector", g.sector_of(static_cast<std::uint64_t>(cluster))}});
    return 0;
  }
  std::printf("Cluster: %lld\nSector: %llu\n", static_cast<long long>(cluster),
              static_cast<unsigned long long>(g.sector_of(static_cast<std::uint64_t>(cluster))));
  return 0;
}

}  // namespace

void add_find_command(CommandContext& ctx) {
  auto o = std::make_shared<FindOptions>();
  CLI::App* sub = ctx.app.add_subcommand("find", "Find the first (or next) free or bad cluster");
  sub->footer(
      "Prints \"Cluster: C\" and \"Sector: S\" (its first sector); exit 1 when none is found.\n"
      "With --after-sector the search starts after the cluster that holds that sector.");
  add_drive_argument(*sub, o->drive);
  sub->add_option("STATE", o->state, "free or bad")->required()->check(CLI::IsMember({"free", "bad"}));
  sub->add_option("--after-sector", o->after, "Search after the cluster that holds this sector")
      ->type_name("N")
      ->check(whole_number(0));
  sub->add_flag("--all", o->all, "Every such cluster, one line each (exit 1 when there is none)");
  sub->add_flag("--sectors", o->sectors,
                "With --all: every sector those clusters cover, one number a line, as badblocks lists blocks");
  add_json_flag(*sub, o->json);
  sub->callback([&run = ctx.run, o, sub] {
    if (o->sectors && o->json) throw CLI::ValidationError("--sectors", "excludes --json");
    if (o->sectors && !o->all) throw CLI::ValidationError("--sectors", "needs --all");
    if (o->all && sub->count("--after-sector")) throw CLI::ValidationError("--all", "excludes --after-sector");
    run = [o] { return run_find(*o); };
  });
}

}  // namespace volumar_tool
