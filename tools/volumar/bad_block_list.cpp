#include "tools/volumar/bad_block_list.h"

#include <charconv>

#include "tools/volumar/tool_error.h"

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
  for (const std::uint64_t block : blocks) {
    const std::uint64_t first = block * block_size / g.bytes_per_sector;
    const std::uint64_t last = (block * block_size + block_size - 1) / g.bytes_per_sector;
    bool inside = false;
    for (std::uint64_t s = first; s <= last; ++s)
      if (const auto c = g.cluster_of(s)) {
        out.clusters.insert(*c);
        inside = true;
      }
    if (!inside) out.outside_data.push_back(block);
  }
  return out;
}

}  // namespace volumar_tool
