// volumar info DRIVE: the volume properties, the disk sections and how the
// clusters divide into free, bad and used.
#include <CLI/CLI.hpp>
#include <algorithm>
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
#include "tools/volumar/host/json_output.h"
#include "tools/volumar/host/text.h"
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

struct InfoOptions {
  DriveArgument drive;
  bool properties = false;
  bool json = false;
};

// Sectors first-last as the listing shows them.
std::string sector_span_text(std::uint64_t first, std::uint64_t count) {
  if (count == 0) return "none";
  return "sectors " + std::to_string(first) + "-" + std::to_string(first + count - 1);
}

std::string serial_text(std::uint32_t serial) {
  char text[10];
  std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFFu);
  return text;
}

// The library's own property names, as scripts against them know them.
int print_properties(EditorSession& session, bool json) {
  Json out = Json::object();
  std::string text;
  auto add = [&](const std::string& name, const std::string& value, const Json& as_json) {
    text += name + ": " + value + "\n";
    out[name] = as_json;
  };
  for (const std::u16string& n : volume_properties()) {
    const win::Variant value = session.get(n);
    const std::string name(n.begin(), n.end());
    if (kUnsignedProperties.count(n)) {
      const auto number = static_cast<std::uint32_t>(win::to_long(value));
      add(name, std::to_string(number), number);
    } else {
      add(name, format_plain(value), format_plain(value));
    }
  }
  if (session.is_fat())
    for (int s = 0; s < kSectionCount; ++s) {
      const SectorRange r = session.section(s);
      add(section_name(s), std::to_string(r.first) + "-" + std::to_string(r.last), Json::array({r.first, r.last}));
    }
  // The one figure that reads the whole first FAT.
  if (session.is_fat())
    if (const auto counts = volumar::CountFatEntries()) {
      add("Clusters", std::to_string(counts->clusters), counts->clusters);
      add("FreeClusters", std::to_string(counts->free), counts->free);
      add("BadClusters", std::to_string(counts->bad), counts->bad);
      add("UsedClusters", std::to_string(counts->used()), counts->used());
    }
  std::fputs((json ? out.dump(2) + "\n" : text).c_str(), stdout);
  return 0;
}

// The volume in the words of fsstat and minfo: one "Name: value" line per
// fact, the FAT copies the volume has, the root directory where it lies.
int print_layout(EditorSession& session, const std::string& given, bool json) {
  const volumar::VolumeGeometry& g = session.geometry();
  Json out = Json::object();
  out["volume"] = given;
  out["file_system"] = session.fs_type();
  std::vector<std::pair<std::string, std::string>> rows{{"Volume", given}, {"File system", session.fs_type()}};
  if (g.is_fat()) {
    const auto boot = ondisk::decode_boot_sector(session.read_sectors(0, 1));
    const std::string label = format_plain(session.get(u"VolumeLabelPP"));
    const auto serial = static_cast<std::uint32_t>(session.get_long(u"VolumeSerialPP"));
    const std::string oem = stored_text(boot.oem_name);
    const std::uint64_t cluster_bytes = std::uint64_t{g.sectors_per_cluster} * g.bytes_per_sector;
    const std::uint64_t bytes = g.total_sectors * g.bytes_per_sector;
    rows.insert(rows.end(), {{"OEM name", oem},
                             {"Label", label.empty() ? "(none)" : label},
                             {"Serial number", serial_text(serial)},
                             {"Bytes per sector", std::to_string(g.bytes_per_sector)},
                             {"Sectors per cluster", std::to_string(g.sectors_per_cluster) + " (" +
                                                         std::to_string(cluster_bytes) + " bytes per cluster)"},
                             {"Total sectors", std::to_string(g.total_sectors) + " (" + human_size(bytes) + ")"},
                             {"Hidden sectors", std::to_string(g.hidden_sectors)},
                             {"Reserved sectors", std::to_string(g.reserved_sectors) + " (" +
                                                      sector_span_text(0, g.reserved_sectors) + ")"}});
    out.update({{"oem_name", oem},
                {"label", label},
                {"serial", serial_text(serial)},
                {"bytes_per_sector", g.bytes_per_sector},
                {"sectors_per_cluster", g.sectors_per_cluster},
                {"total_sectors", g.total_sectors},
                {"hidden_sectors", g.hidden_sectors},
                {"reserved_sectors", g.reserved_sectors}});
    Json copies = Json::array();
    for (std::uint32_t n = 1; n <= g.number_of_fats; ++n) {
      rows.emplace_back("FAT copy " + std::to_string(n), sector_span_text(g.fat_copy_start(n), g.sectors_per_fat));
      copies.push_back({{"first", g.fat_copy_start(n)}, {"last", g.fat_copy_start(n) + g.sectors_per_fat - 1}});
    }
    out["fat_copies"] = copies;
    const bool fat32 = g.type == ondisk::FatType::Fat32;
    if (fat32) {
      rows.emplace_back("Root directory", "cluster " + std::to_string(g.root_cluster) + ", " +
                                              std::to_string(g.root_directory_sectors) +
                                              (g.root_directory_sectors == 1 ? " sector" : " sectors") +
                                              " in its chain (in the data area)");
      out["root_directory"] = {{"cluster", g.root_cluster}, {"sectors", g.root_directory_sectors}};
    } else {
      rows.emplace_back("Root directory", sector_span_text(g.root_directory_start, g.root_directory_sectors) + " (" +
                                              std::to_string(boot.root_entries) + " entries)");
      out["root_directory"] = {{"first", g.root_directory_start},
                               {"last", g.root_directory_start + g.root_directory_sectors - 1},
                               {"entries", boot.root_entries}};
    }
    const std::uint64_t data_end = g.sector_of(g.last_cluster() + 1);
    rows.emplace_back("Data area", sector_span_text(g.first_data_sector, data_end - g.first_data_sector));
    out["data_area"] = {{"first", g.first_data_sector}, {"last", data_end - 1}};
    if (data_end < g.total_sectors)
      rows.emplace_back("After the last cluster", sector_span_text(data_end, g.total_sectors - data_end));
    if (fat32) {
      auto where = [](std::uint32_t s) { return s ? "sector " + std::to_string(s) : std::string("none"); };
      rows.emplace_back("FSInfo sector", where(g.fsinfo_sector));
      rows.emplace_back("Backup boot sector", where(g.backup_boot_sector));
      out["fsinfo_sector"] = g.fsinfo_sector ? Json(g.fsinfo_sector) : Json();
      out["backup_boot_sector"] = g.backup_boot_sector ? Json(g.backup_boot_sector) : Json();
    }
    rows.emplace_back("Clusters",
                      std::to_string(g.cluster_count) + " (clusters 2-" + std::to_string(g.last_cluster()) + ")");
    Json clusters = {{"count", g.cluster_count}, {"first", g.kFirstDataCluster}, {"last", g.last_cluster()}};
    // The one figure that reads the whole first FAT.
    if (const auto counts = volumar::CountFatEntries()) {
      rows.emplace_back("Free clusters", std::to_string(counts->free));
      rows.emplace_back("Bad clusters", std::to_string(counts->bad));
      rows.emplace_back("Used clusters", std::to_string(counts->used()));
      clusters.update({{"free", counts->free}, {"bad", counts->bad}, {"used", counts->used()}});
    }
    out["clusters"] = clusters;
  }
  if (json) {
    std::fputs((out.dump(2) + "\n").c_str(), stdout);
    return 0;
  }
  std::size_t width = 0;
  for (const auto& [name, value] : rows) width = std::max(width, name.size());
  std::string text;
  for (const auto& [name, value] : rows) text += name + ":" + std::string(width + 2 - name.size(), ' ') + value + "\n";
  std::fputs(text.c_str(), stdout);
  return 0;
}

int run_info(const InfoOptions& o) {
  EditorSession session(resolve_drive_argument(o.drive));
  const int status = o.properties ? print_properties(session, o.json) : print_layout(session, o.drive.text, o.json);
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
  return status;
}

}  // namespace

void add_info_command(CommandContext& ctx) {
  auto o = std::make_shared<InfoOptions>();
  CLI::App* sub = ctx.app.add_subcommand(
      "info", "Print the volume's layout, label and serial, and its free, bad and used clusters");
  add_drive_argument(*sub, o->drive);
  sub->add_flag("--properties", o->properties,
                "The library's own property names and disk sections (DrivePP, ..., drwDiskSectionDataEntry)");
  add_json_flag(*sub, o->json);
  sub->callback([&run = ctx.run, o] { run = [o] { return run_info(*o); }; });
}

}  // namespace volumar_tool
