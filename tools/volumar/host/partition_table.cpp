// Partition tables through libblkid's partition probing.
#include "tools/volumar/host/partition_table.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

// libblkid always counts partition starts and sizes in 512-byte units,
// whatever the disk's own sector size.
constexpr std::uint64_t kBlkidUnit = 512;

using Probe = std::unique_ptr<std::remove_pointer_t<blkid_probe>, decltype(&blkid_free_probe)>;

// purpose: what the disk is opened for, to say what could not be done.
Probe open_probe(const std::string& path, const std::string& purpose) {
  Probe probe(blkid_new_probe_from_filename(path.c_str()), &blkid_free_probe);
  if (!probe) fail("cannot read " + purpose + " of " + path + ": " + std::strerror(errno));
  return probe;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// An MBR entry has no name, so the volume inside speaks for it.
std::string file_system_label(const std::string& path, std::uint64_t offset, std::uint64_t length) {
  const FileDescriptor fd(path);
  Probe probe(blkid_new_probe(), &blkid_free_probe);
  if (fd.get() < 0 || !probe ||
      blkid_probe_set_device(probe.get(), fd.get(), static_cast<blkid_loff_t>(offset),
                             static_cast<blkid_loff_t>(length)) != 0)
    return {};
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL);
  const char* label = nullptr;
  if (blkid_do_safeprobe(probe.get()) != 0 || blkid_probe_lookup_value(probe.get(), "LABEL", &label, nullptr) != 0)
    return {};
  return label;
}

std::string type_text(blkid_partition entry) {
  if (const char* guid = blkid_partition_get_type_string(entry)) return guid;
  char code[8];
  std::snprintf(code, sizeof code, "0x%02x", static_cast<unsigned>(blkid_partition_get_type(entry)));
  return code;
}

Partition partition_entry(blkid_partition entry, const PartitionTable& table) {
  Partition p;
  p.number = blkid_partition_get_partno(entry);
  p.offset = static_cast<std::uint64_t>(blkid_partition_get_start(entry)) * kBlkidUnit;
  p.length = static_cast<std::uint64_t>(blkid_partition_get_size(entry)) * kBlkidUnit;
  p.type = type_text(entry);
  p.extended = blkid_partition_is_extended(entry) != 0;
  if (const char* name = blkid_partition_get_name(entry); name && *name) p.label = name;
  if (p.label.empty() && !p.extended && p.offset < table.disk_bytes)
    p.label = file_system_label(table.path, p.offset, std::min(p.length, table.disk_bytes - p.offset));
  return p;
}

// Only the two schemes a FAT disk uses: the rarer ones blkid knows (Atari,
// BSD labels, ...) would find tables in the boot code of odd volumes.
void probe_mbr_and_gpt_only(blkid_probe probe) {
  char dos[] = "dos";
  char gpt[] = "gpt";
  char* schemes[] = {dos, gpt, nullptr};
  blkid_probe_enable_partitions(probe, 1);
  blkid_probe_filter_partitions_type(probe, BLKID_FLTR_ONLYIN, schemes);
}

std::string aligned(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += "  ";
      line += row[c];
      line.append(widths[c] - row[c].size(), ' ');
    }
    if (!out.empty()) out += '\n';
    out += line.substr(0, line.find_last_not_of(' ') + 1);
  }
  return out;
}

}  // namespace

const Partition* PartitionTable::find(int number) const {
  for (const Partition& p : partitions)
    if (p.number == number) return &p;
  return nullptr;
}

std::optional<PartitionTable> read_partition_table(const std::string& path) {
  const Probe probe = open_probe(path, "the partition table");
  probe_mbr_and_gpt_only(probe.get());
  // A FAT boot sector whose fields do not decode still passes for an MBR,
  // one without partitions: that is no table to choose from.
  blkid_partlist list = blkid_probe_get_partitions(probe.get());
  const int count = list ? blkid_partlist_numof_partitions(list) : 0;
  if (count <= 0) return std::nullopt;
  PartitionTable table;
  table.path = path;
  if (blkid_parttable scheme = blkid_partlist_get_table(list)) table.scheme = blkid_parttable_get_type(scheme);
  table.sector_size = blkid_probe_get_sectorsize(probe.get());
  table.disk_bytes = static_cast<std::uint64_t>(blkid_probe_get_size(probe.get()));
  for (int i = 0; i < count; ++i)
    table.partitions.push_back(partition_entry(blkid_partlist_get_partition(list, i), table));
  return table;
}

std::uint64_t disk_sector_size(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 512;
  return blkid_probe_get_sectorsize(open_probe(path, "the sector size").get());
}

std::string scheme_name(const std::string& scheme) {
  if (scheme == "dos") return "MBR";
  if (scheme == "gpt") return "GPT";
  return scheme;
}

std::string partition_listing(const PartitionTable& table) {
  std::vector<std::vector<std::string>> rows{{"Number", "Start", "Sectors", "Size", "Type", "Label"}};
  for (const Partition& p : table.partitions)
    rows.push_back({std::to_string(p.number), std::to_string(p.offset / table.sector_size),
                    std::to_string(p.length / table.sector_size), human_size(p.length),
                    p.extended ? p.type + " (extended)" : p.type, p.label});
  return aligned(rows);
}

}  // namespace volumar_tool
