// volumar find DRIVE free|bad: the first (or next) free or bad cluster.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "platform/automation/variant_conversion.h"
#include "tools/volumar/commands.h"
#include "tools/volumar/drive_argument.h"
#include "tools/volumar/editor_session.h"
#include "tools/volumar/tool_error.h"

namespace volumar_tool {
namespace {

// DRWFindClusterConstants
constexpr std::int32_t kFreeFindFirst = 0, kFreeFindNext = 1, kBadFindFirst = 4, kBadFindNext = 5;

struct FindOptions {
  std::string drive;
  std::string state;
  std::int64_t after = -1;
};

int run_find(const FindOptions& o) {
  EditorSession session(resolve_drive_argument(o.drive));
  session.require_fat();
  const bool free = o.state == "free";
  std::int32_t action = free ? kFreeFindFirst : kBadFindFirst;
  if (o.after >= 0) {
    session.check_sectors(o.after, 1);
    session.put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(o.after)));
    action = free ? kFreeFindNext : kBadFindNext;
  }
  const std::u16string result = win::to_string(session.call(u"FindCluster", {win::Variant(action)}));
  if (!result.empty()) return kExitFailed;  // the library's box has told why
  const std::int64_t sector = session.get_long(u"ClusterFoundPP");
  std::printf("Cluster: %lld\nSector: %lld\n", static_cast<long long>(session.cluster_of(sector)),
              static_cast<long long>(sector));
  return 0;
}

}  // namespace

void add_find_command(CommandContext& ctx) {
  auto o = std::make_shared<FindOptions>();
  CLI::App* sub = ctx.app.add_subcommand("find", "Find the first (or next) free or bad cluster");
  sub->footer("Prints \"Cluster: C\" and \"Sector: S\" (its first sector); exit 1 when none is found.\n"
              "With --after-sector the search starts after the cluster that holds that sector.");
  sub->add_option("DRIVE", o->drive, "Drive letter or image path")->required();
  sub->add_option("STATE", o->state, "free or bad")->required()->check(CLI::IsMember({"free", "bad"}));
  sub->add_option("--after-sector", o->after, "Search after the cluster that holds this sector")
      ->type_name("N")
      ->check(CLI::NonNegativeNumber);
  sub->callback([&run = ctx.run, o] { run = [o] { return run_find(*o); }; });
}

}  // namespace volumar_tool
