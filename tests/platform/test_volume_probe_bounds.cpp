// The probe's reads follow the volume, not the fields: a boot sector may
// claim a root directory or a cluster far larger than the volume holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "imaging/fat_image_builder.h"
#include "platform/volume_probe.h"

namespace {

struct ProbeCase {
  imaging::FatType type;
  std::uint16_t root_entries;  // FAT12/16
  std::uint8_t sectors_per_cluster;
  std::uint32_t clusters;
};

TEST(VolumeProbeBounds, TheLabelIsFoundReadingNoMoreThanASectorAtATime) {
  using imaging::FatType;
  for (const ProbeCase& c : {ProbeCase{FatType::fat12, 0xFFF0, 1, 2000}, ProbeCase{FatType::fat16, 0xFFF0, 4, 8000},
                             ProbeCase{FatType::fat32, 0, 128, 65600}}) {
    SCOPED_TRACE(std::string(imaging::to_string(c.type)));
    imaging::FatImageBuilder builder(c.type);
    builder.sectors_per_cluster(c.sectors_per_cluster).cluster_count(c.clusters).volume_label("BOUNDED");
    if (c.type != FatType::fat32) builder.root_entries(c.root_entries);
    std::size_t largest = 0;
    win::VolumeIdentity id;
    const auto rc = win::identify_volume(
        [&](std::uint64_t offset, void* buffer, std::size_t length) {
          largest = std::max(largest, length);
          const auto bytes = builder.read_bytes(offset, length);
          std::memcpy(buffer, bytes.data(), bytes.size());
          return bytes.size() == length;
        },
        id);
    EXPECT_EQ(rc, win::ERROR_SUCCESS);
    EXPECT_EQ(id.label, "BOUNDED");
    EXPECT_LE(largest, builder.layout().bytes_per_sector);
  }
}

}  // namespace
