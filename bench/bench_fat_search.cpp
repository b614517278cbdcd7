// The search for a free FAT entry on a volume that has none, through
// FindFatEntry, against a bare loop over the same in-memory table in the
// same binary. Both read every entry, so the ratio is the search's own
// cost per entry.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>

#include "bench/ratio_reporter.h"
#include "volume/drive_info.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"

namespace {

constexpr std::size_t kFat32Entries = std::size_t{64} << 20;  // a 256 MiB FAT32 table
constexpr std::size_t kFat16Entries = 65524 + 2;              // the largest FAT16 volume
constexpr std::uint32_t kInUse = 3;                           // a link: neither free nor bad

// Selects a volume of `entries` FAT entries, every cluster in use. The one
// place that knows how the record holds its tables and bounds the search.
void select_full_volume(volumar::FatWidth width, std::size_t entries) {
  auto& d = volumar::DriveInfo();
  volumar::ResetDriveInfo();
  const bool fat32 = width == volumar::FatWidth::Fat32;
  d.FsType = fat32 ? u"FAT32" : u"FAT16";
  d.BytesPerSector = 512;
  d.SectorsPerCluster = 8;
  d.NumberOfFats = 2;
  d.FirstDataCluster = 2;
  d.Geometry = {};
  d.Geometry.type = fat32 ? ondisk::FatType::Fat32 : ondisk::FatType::Fat16;
  d.Geometry.bytes_per_sector = 512;
  d.Geometry.sectors_per_cluster = 8;
  d.Geometry.cluster_count = entries - volumar::VolumeGeometry::kFirstDataCluster;  // entries 0 and 1 are no cluster
  d.Fat32Table.clear();
  d.Fat16Table.clear();
  if (fat32)
    d.Fat32Table.assign(entries, static_cast<volumar::Long>(kInUse));
  else
    d.Fat16Table.assign(entries, static_cast<volumar::Integer>(kInUse));
}

// The baseline: the plainest loop that finds the first free entry.
template <class T>
__attribute__((noinline)) std::size_t first_free(const T* table, std::size_t n) {
  for (std::size_t i = 2; i < n; ++i)
    if (table[i] == 0) return i;
  return 0;
}

void count_entries(benchmark::State& state, std::size_t entries) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(entries));
  state.counters["Gentries/s"] =
      benchmark::Counter(static_cast<double>(entries) / 1e9, benchmark::Counter::kIsIterationInvariantRate);
}

void Search_library(benchmark::State& state, volumar::FatWidth width, std::size_t entries) {
  select_full_volume(width, entries);
  for (auto _ : state) {
    volumar::Long found = volumar::FindFatEntry(1, volumar::kFatFree);
    benchmark::DoNotOptimize(found);
    if (found != 0) state.SkipWithError("found a free entry in a full table");
  }
  count_entries(state, entries);
}

template <class T>
void bare_loop(benchmark::State& state, const T* table, std::size_t n) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(table);
    std::size_t found = first_free(table, n);
    benchmark::DoNotOptimize(found);
    benchmark::ClobberMemory();
  }
}

void Search_baseline(benchmark::State& state, volumar::FatWidth width, std::size_t entries) {
  select_full_volume(width, entries);
  const auto& d = volumar::DriveInfo();
  if (width == volumar::FatWidth::Fat32)
    bare_loop(state, d.Fat32Table.data(), d.Fat32Table.size());
  else
    bare_loop(state, d.Fat16Table.data(), d.Fat16Table.size());
  count_entries(state, entries);
}

}  // namespace

BENCHMARK_CAPTURE(Search_library, fat32, volumar::FatWidth::Fat32, kFat32Entries)
    ->Name("fat32_free_search_64M/library")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search_baseline, fat32, volumar::FatWidth::Fat32, kFat32Entries)
    ->Name("fat32_free_search_64M/baseline")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Search_library, fat16, volumar::FatWidth::Fat16, kFat16Entries)
    ->Name("fat16_free_search_64K/library")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Search_baseline, fat16, volumar::FatWidth::Fat16, kFat16Entries)
    ->Name("fat16_free_search_64K/baseline")
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
