// Bad blocks as users meet them: the list that badblocks writes (one block
// number a line, in blocks of its -b size) read back, and the clusters that
// hold the listed blocks.
#pragma once
#include <cstdint>
#include <istream>
#include <set>
#include <string>
#include <vector>

#include "volume/volume_geometry.h"

namespace volumar_tool {

// Block numbers, one a line; blank lines and lines starting with '#' are
// skipped. A usage error names the first line that is no number.
std::vector<std::uint64_t> read_bad_block_list(std::istream& in, const std::string& name);

struct BadBlockClusters {
  std::set<std::uint64_t> clusters;         // that hold a listed block
  std::vector<std::uint64_t> outside_data;  // blocks before the data area or past the last cluster
};

// The clusters that hold each block of block_size bytes (every sector it
// covers counts).
BadBlockClusters clusters_of_blocks(const volumar::VolumeGeometry& g, const std::vector<std::uint64_t>& blocks,
                                    std::uint64_t block_size);

}  // namespace volumar_tool
