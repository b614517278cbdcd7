// volumar drives: the physical drive listing of GetPhysicalDrives, one
// block per drive on standard output instead of one box per drive, each
// followed by the drive's partitions.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "platform/automation/class_objects.h"
#include "platform/automation/dispatch.h"
#include "platform/drive_map.h"
#include "platform/user32/message_box.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/json_output.h"
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

// The drive's box, "Name : value" a line, as JSON fields; the partitions
// of its disk beside them.
Json drive_json(int drive, const std::string& box_lines) {
  Json out = {{"path", "\\\\.\\PHYSICALDRIVE" + std::to_string(drive)}};
  std::size_t at = 0;
  while (at < box_lines.size()) {
    std::size_t end = box_lines.find('\n', at);
    if (end == std::string::npos) end = box_lines.size();
    const std::string line = box_lines.substr(at, end - at);
    at = end + 1;
    const std::size_t colon = line.find(" : ");
    if (colon == std::string::npos) continue;
    const std::string value = line.substr(colon + 3);
    const bool number = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    out[line.substr(0, colon)] = number ? Json(std::stoull(value)) : Json(value);
  }
  Json partitions = Json::array();
  const std::vector<std::string> disks = win::DriveMap::physical_drives();
  if (static_cast<std::size_t>(drive) < disks.size()) try {
      if (const auto table = read_partition_table(disks[static_cast<std::size_t>(drive)])) {
        out["scheme"] = scheme_name(table->scheme);
        for (const Partition& p : table->partitions)
          partitions.push_back({{"number", p.number},
                                {"start", p.offset / table->sector_size},
                                {"sectors", p.length / table->sector_size},
                                {"type", p.type},
                                {"label", p.label},
                                {"extended", p.extended}});
      }
    } catch (const ToolError& e) {
      out["partition_error"] = e.what();
    }
  out["partitions"] = partitions;
  return out;
}

int run_drives(bool json) {
  int drive = 0;
  bool error = false;
  Json drives = Json::array();
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
      if (json)
        drives.push_back(drive_json(drive, lines));
      else
        std::printf("\\\\.\\PHYSICALDRIVE%d\n%s\n%s\n", drive, lines.c_str(),
                    partitions_of_disk(static_cast<std::size_t>(drive)).c_str());
      ++drive;
    }
    return win::default_button(box.style);
  });
  auto editor = win::create_object("Volumar10.clsQzVolmDrwA");
  win::call_method(editor, u"GetPhysicalDrives");
  install_message_box_printer();
  if (json)
    print_json({{"drives", drives}});
  else if (drive == 0 && !error)
    std::fputs("no physical drives\n", stderr);
  return error ? 1 : 0;
}

}  // namespace

void add_drives_command(CommandContext& ctx) {
  auto json = std::make_shared<bool>(false);
  CLI::App* sub = ctx.app.add_subcommand("drives", "List the geometry of the physical drives (see --disk)");
  add_json_flag(*sub, *json);
  sub->callback([&run = ctx.run, json] { run = [json] { return run_drives(*json); }; });
}

}  // namespace volumar_tool
