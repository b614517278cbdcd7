// volumar drives: the physical drive listing of GetPhysicalDrives, one
// block per drive on standard output instead of one box per drive, each
// followed by the drive's partitions.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/drive_map.h"
#include "platform/user32/message_box.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/partition_table.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

// The boxes come in the order of the disk list: box n is disk n. A disk
// without a partition table adds nothing.
std::string partitions_of_disk(std::size_t n) {
  const std::vector<std::string> disks = win::DriveMap::physical_drives();
  if (n >= disks.size()) return {};
  try {
    const auto table = read_partition_table(disks[n]);
    if (!table) return {};
    return "Partitions (" + scheme_name(table->scheme) + "):\n" + partition_listing(*table) + "\n";
  } catch (const ToolError& e) {
    return std::string("Partitions: ") + e.what() + "\n";
  }
}

int run_drives() {
  int drive = 0;
  bool error = false;
  win::set_message_box_sink([&](const win::MessageBoxRequest& box) {
    record_box(box);
    if ((box.style & win::MB_ICON_MASK) == win::MB_ICONHAND) {
      error = true;
      print_message_box(box);
    } else {
      std::string text = ansi_to_utf8(box.text);
      std::string lines;
      for (char c : text)
        if (c != '\r') lines += c;
      std::printf("\\\\.\\PHYSICALDRIVE%d\n%s\n%s\n", drive, lines.c_str(),
                  partitions_of_disk(static_cast<std::size_t>(drive)).c_str());
      ++drive;
    }
    return win::default_button(box.style);
  });
  auto editor = win::create_object("Volumar10.clsQzVolmDrwA");
  win::call_method(editor, u"GetPhysicalDrives");
  install_message_box_printer();
  if (drive == 0 && !error) std::fputs("no physical drives\n", stderr);
  return error ? 1 : 0;
}

}  // namespace

void add_drives_command(CommandContext& ctx) {
  CLI::App* sub = ctx.app.add_subcommand("drives", "List the geometry of the physical drives (see --disk)");
  sub->callback([&run = ctx.run] { run = [] { return run_drives(); }; });
}

}  // namespace volumar_tool
