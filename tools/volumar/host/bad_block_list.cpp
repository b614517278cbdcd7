#include "tools/volumar/host/bad_block_list.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {

std::vector<std::uint64_t> read_bad_block_list(std::istream& in, const std::string& name) {
  std::vector<std::uint64_t> blocks;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const auto last = line.find_last_not_of(" \t\r");
    std::uint64_t block = 0;
    const char* begin = line.data() + first;
    const char* end = line.data() + last + 1;
    const auto [stop, error] = std::from_chars(begin, end, block);
    if (error != std::errc() || stop != end)
      usage_error(name + ", line " + std::to_string(n) + ": not a block number: '" + line + "'");
    blocks.push_back(block);
  }
  return blocks;
}

BadBlockClusters clusters_of_blocks(const volumar::VolumeGeometry& g, const std::vector<std::uint64_t>& blocks,
                                    std::uint64_t block_size) {
  BadBlockClusters out;
  // The data area's sectors [first, end); a block is clipped to them, so the
  // work follows the volume's clusters, never the block size alone.
  const std::uint64_t data_first = g.first_data_sector;
  const std::uint64_t data_end = data_first + g.cluster_count * g.sectors_per_cluster;
  for (const std::uint64_t block : blocks) {
    // A block whose bytes lie past 2^64 lies past every volume.
    const bool addressable = block_size != 0 && block <= (UINT64_MAX - (block_size - 1)) / block_size;
    const std::uint64_t first = addressable ? std::max(block * block_size / g.bytes_per_sector, data_first) : 0;
    const std::uint64_t last =
        addressable ? std::min((block * block_size + block_size - 1) / g.bytes_per_sector, data_end - 1) : 0;
    if (!addressable || data_end == data_first || first > last) {
      out.outside_data.push_back(block);
      continue;
    }
    for (std::uint64_t c = *g.cluster_of(first), end = *g.cluster_of(last); c <= end; ++c) out.clusters.insert(c);
  }
  return out;
}

}  // namespace volumar_tool
