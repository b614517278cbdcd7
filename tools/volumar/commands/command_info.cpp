// volumar info DRIVE: the volume properties, the disk sections and how the
// clusters divide into free, bad and used.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <set>

#include "drw/sector_editor.h"
#include "format/boot_sector.h"
#include "platform/automation/variant_conversion.h"
#include "volume/fat_entries.h"

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/value_format.h"

namespace volumar_tool {
namespace {

// The volume properties, in the class's own table order: from DrivePP to
// RootDirectoryLengthPP, without LogicalClusterPP, which names a position.
std::vector<std::u16string> volume_properties() {
  std::vector<std::u16string> out;
  bool inside = false;
  for (const volumar::MemberInfo& m : volumar::clsQzVolmDrwA::class_info_static().members()) {
    if (m.kind != volumar::MemberKind::Get) continue;
    const std::string name = m.name;
    inside = inside || name == "DrivePP";
    if (inside && name != "LogicalClusterPP") out.emplace_back(name.begin(), name.end());
    if (name == "RootDirectoryLengthPP") break;
  }
  return out;
}

// Sector counts and numbers that the properties hold as the 32 bits of a
// Long: a volume of 2^31 sectors or more reads negative there.
const std::set<std::u16string> kUnsignedProperties = {u"TotalSectorsPP", u"HiddenSectorsPP", u"ReservedSectorsPP",
                                                      u"SectorsPerFATPP", u"RootDirectoryStartPP"};

int run_info(const DriveArgument& drive) {
  EditorSession session(resolve_drive_argument(drive));
  std::string out;
  for (const std::u16string& n : volume_properties()) {
    const win::Variant value = session.get(n);
    const std::string text = kUnsignedProperties.count(n)
                                 ? std::to_string(static_cast<std::uint32_t>(win::to_long(value)))
                                 : format_plain(value);
    out += std::string(n.begin(), n.end()) + ": " + text + "\n";
  }
  if (session.is_fat())
    for (int s = 0; s < kSectionCount; ++s) {
      const SectorRange r = session.section(s);
      out += section_name(s) + ": " + std::to_string(r.first) + "-" + std::to_string(r.last) + "\n";
    }
  // The one figure that reads the whole first FAT.
  if (session.is_fat())
    if (const auto counts = volumar::CountFatEntries())
      out += "Clusters: " + std::to_string(counts->clusters) + "\nFreeClusters: " + std::to_string(counts->free) +
             "\nBadClusters: " + std::to_string(counts->bad) + "\nUsedClusters: " + std::to_string(counts->used()) +
             "\n";
  std::fputs(out.c_str(), stdout);
  const volumar::VolumeGeometry& g = session.geometry();
  const std::uint64_t stated = g.total_sectors * g.bytes_per_sector;
  if (const auto held = session.held_bytes(); held && g.is_fat() && *held < stated)
    std::fprintf(stderr,
                 "volumar: warning: the image holds %llu bytes, %llu fewer than the %llu sectors its boot sector"
                 " states; sectors %llu-%llu are missing\n",
                 static_cast<unsigned long long>(*held), static_cast<unsigned long long>(stated - *held),
                 static_cast<unsigned long long>(g.total_sectors),
                 static_cast<unsigned long long>(*held / g.bytes_per_sector),
                 static_cast<unsigned long long>(g.total_sectors - 1));
  if (g.root_chain_cut)
    std::fprintf(stderr,
                 "volumar: warning: the root directory's cluster chain is damaged; it was cut after %llu sectors\n",
                 static_cast<unsigned long long>(g.root_directory_sectors));
  if (g.type_text_disagrees)
    std::fprintf(stderr,
                 "volumar: note: the boot sector's type text \"%s\" disagrees; by its %llu clusters this is %s\n",
                 g.type_text_disagrees->c_str(), static_cast<unsigned long long>(g.cluster_count),
                 ondisk::fat_type_name(*g.type));
  return 0;
}

}  // namespace

void add_info_command(CommandContext& ctx) {
  auto drive = std::make_shared<DriveArgument>();
  CLI::App* sub = ctx.app.add_subcommand(
      "info", "Print the volume's properties, its disk sections and its free, bad and used clusters");
  add_drive_argument(*sub, *drive);
  sub->callback([&run = ctx.run, drive] { run = [drive] { return run_info(*drive); }; });
}

}  // namespace volumar_tool
