// volumar info DRIVE: the volume properties and the disk sections.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "tools/volumar/commands.h"
#include "tools/volumar/drive_argument.h"
#include "tools/volumar/editor_session.h"
#include "tools/volumar/value_format.h"

namespace volumar_tool {
namespace {

const char16_t* const kVolumeProperties[] = {
    u"DrivePP",          u"DriveReadyPP",        u"DriveTypePP",          u"DriveRestrictedPP",
    u"VolumeLabelPP",    u"VolumeSerialPP",      u"VolumeSerialHexPP",    u"VolumarPP",
    u"BytesPerSectorPP", u"SectorsPerClusterPP", u"TotalSectorsPP",       u"HiddenSectorsPP",
    u"ReservedSectorsPP", u"NumberOfFatCopiesPP", u"FatCopyStartsAtPP",   u"SectorsPerFATPP",
    u"RootDirectoryStartPP", u"RootDirectoryLengthPP",
};

int run_info(const std::string& drive) {
  EditorSession session(resolve_drive_argument(drive));
  std::string out;
  for (const char16_t* name : kVolumeProperties) {
    const std::u16string n(name);
    out += std::string(n.begin(), n.end()) + ": " + format_plain(session.get(n)) + "\n";
  }
  if (session.is_fat())
    for (int s = 0; s < kSectionCount; ++s) {
      const SectorRange r = session.section(s);
      out += std::string(kSectionNames[s]) + ": " + std::to_string(r.first) + "-" + std::to_string(r.last) + "\n";
    }
  std::fputs(out.c_str(), stdout);
  return 0;
}

}  // namespace

void add_info_command(CommandContext& ctx) {
  auto drive = std::make_shared<std::string>();
  CLI::App* sub = ctx.app.add_subcommand("info", "Print the volume's properties and its disk sections");
  sub->add_option("DRIVE", *drive, "Drive letter or image path")->required();
  sub->callback([&run = ctx.run, drive] { run = [drive] { return run_info(*drive); }; });
}

}  // namespace volumar_tool
