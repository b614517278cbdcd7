// The partition table of a whole-disk image or block device (MBR with its
// extended and logical partitions, or GPT), as libblkid reads it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace volumar_tool {

struct Partition {
  int number = 0;            // as blkid numbers it: from 1, logical partitions from 5
  std::uint64_t offset = 0;  // bytes from the start of the disk
  std::uint64_t length = 0;  // bytes, as the table states them (the disk may hold fewer)
  std::string type;          // "0x0c" in an MBR, the type GUID in a GPT
  std::string label;         // the GPT entry's name, else its file system's label; may be empty
  bool extended = false;     // an MBR container of logical partitions, no volume itself
};

struct PartitionTable {
  std::string path;
  std::string scheme;               // "dos" or "gpt"
  std::uint64_t sector_size = 512;  // the disk's logical sector size
  std::uint64_t disk_bytes = 0;     // what the image or device holds
  std::vector<Partition> partitions;

  const Partition* find(int number) const;
};

// The table on the disk at path; nullopt when there is none with a
// partition in it (a FAT boot sector, say, or an unpartitioned disk).
// A disk that cannot be opened is a ToolError.
std::optional<PartitionTable> read_partition_table(const std::string& path);

// 512 for an image file, the logical block size for a block device.
std::uint64_t disk_sector_size(const std::string& path);

// "MBR" for blkid's "dos", "GPT" for "gpt".
std::string scheme_name(const std::string& scheme);

// A heading and one line per partition: number, start sector, sectors,
// size, type and label, each line indented by two spaces; no line end
// after the last.
std::string partition_listing(const PartitionTable& table);

}  // namespace volumar_tool
