// Reading a long run of a volume through ReadDriveSectors (device open,
// whole-sector span, copy of the wanted bytes) against plain pread of the
// same bytes, and loading a large FAT32 table against reading its bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/ratio_reporter.h"
#include "platform/drive_map.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_tables.h"

namespace {

constexpr std::size_t kVolumeBytes = 64 << 20;
constexpr long kChunk = 1 << 20;

const std::filesystem::path& image() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / "volumar-bench.img";
    std::vector<char> block(kChunk);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131);
    std::ofstream out(p, std::ios::binary);
    for (std::size_t i = 0; i < kVolumeBytes / kChunk; ++i) out.write(block.data(), kChunk);
    win::VolumeMapping volume;
    volume.path = p.string();
    win::DriveMap::map('B', volume);
    return p;
  }();
  return path;
}

void Reads_library(benchmark::State& state) {
  image();
  volumar::DriveInfo().BytesPerSector = 512;
  for (auto _ : state)
    for (long at = 0; at < static_cast<long>(kVolumeBytes); at += kChunk) {
      auto bytes = volumar::ReadDriveSectors(u"B", static_cast<volumar::Long>(at / 512), 0, kChunk);
      benchmark::DoNotOptimize(bytes);
    }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kVolumeBytes);
}

void Reads_baseline(benchmark::State& state) {
  std::vector<char> buffer(kChunk);
  for (auto _ : state)
    for (long at = 0; at < static_cast<long>(kVolumeBytes); at += kChunk) {
      int fd = ::open(image().c_str(), O_RDWR);
      benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), at));
      ::close(fd);
    }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kVolumeBytes);
}

// A FAT16 copy of 16 MiB (8 M entries), decoded by one block copy.
void FatLoad_library(benchmark::State& state) {
  image();
  auto& d = volumar::DriveInfo();
  for (auto _ : state) {
    d.FsType = u"FAT16";
    d.BytesPerSector = 512;
    d.SectorsPerFat = 32768;
    d.ReservedSectors = 0;
    d.SectorsPerCluster = 8;
    d.FirstDataCluster = 2;
    d.Fat32Table.clear();
    volumar::LoadFatTables(u"B:\\");
    benchmark::DoNotOptimize(d.Fat32Table.data());
  }
}

void FatLoad_baseline(benchmark::State& state) {
  std::vector<char> buffer(32768 * 512);
  for (auto _ : state) {
    int fd = ::open(image().c_str(), O_RDWR);
    benchmark::DoNotOptimize(::pread(fd, buffer.data(), buffer.size(), 0));
    ::close(fd);
    std::vector<std::int32_t> table(buffer.size() / 4);
    std::memcpy(table.data(), buffer.data(), buffer.size());
    benchmark::DoNotOptimize(table.data());
  }
}

}  // namespace

BENCHMARK(Reads_library)->Name("reads_64MiB/library")->Unit(benchmark::kMillisecond);
BENCHMARK(Reads_baseline)->Name("reads_64MiB/baseline")->Unit(benchmark::kMillisecond);
BENCHMARK(FatLoad_library)->Name("fat16_load_16MiB/library")->Unit(benchmark::kMillisecond);
BENCHMARK(FatLoad_baseline)->Name("fat16_load_16MiB/baseline")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::filesystem::remove(image());
  return 0;
}
