// Helpers for the tests of the volumar program: run the real binary, make
// images with mkfs.fat, read their bytes back.
#pragma once
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"

namespace tooltest {

inline std::string volumar_path() { return std::string(VOLUMAR_BINARY_DIR) + "/tools/volumar"; }

inline fixtures::ToolRun volumar(std::vector<std::string> args) {
  args.insert(args.begin(), volumar_path());
  return fixtures::run_tool(args);
}

inline std::vector<std::uint8_t> read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<std::uint8_t> out(in ? static_cast<std::size_t>(in.tellg()) : 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<std::size_t>(in.gcount()));
  return out;
}

inline std::vector<std::uint8_t> read_bytes(const std::filesystem::path& path, std::uint64_t offset,
                                            std::size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::vector<std::uint8_t> out(count);
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
  out.resize(static_cast<std::size_t>(in.gcount()));
  return out;
}

inline void write_bytes(const std::filesystem::path& path, std::uint64_t offset,
                        const std::vector<std::uint8_t>& data) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// FNV-1a over the size and every 4 KiB block that is not all zeros, with
// its position: equal for equal bytes however the file is allocated, and a
// sparse image of terabytes hashes as fast as the bytes it holds.
inline std::uint64_t content_hash(const std::filesystem::path& path) {
  std::uint64_t h = 14695981039346656037ull;
  auto mix = [&h](const void* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) h = (h ^ static_cast<const std::uint8_t*>(p)[i]) * 1099511628211ull;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  mix(&size, sizeof size);
  constexpr off_t kBlock = 4096;
  std::vector<char> block(kBlock);
  for (off_t at = ::lseek(fd, 0, SEEK_DATA); at >= 0 && at < size; at = ::lseek(fd, at, SEEK_DATA)) {
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    for (at = at / kBlock * kBlock; at < hole; at += kBlock) {
      const ssize_t got = ::pread(fd, block.data(), kBlock, at);
      if (got <= 0) {
        ::close(fd);
        return h;
      }
      const auto end = block.begin() + got;
      if (std::all_of(block.begin(), end, [](char c) { return c == 0; })) continue;
      mix(&at, sizeof at);
      mix(block.data(), static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return h;
}

inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

// The offsets (into the image) where the two images differ.
inline std::vector<std::size_t> differences(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) out.push_back(i);
  if (a.size() != b.size()) out.push_back(std::min(a.size(), b.size()));
  return out;
}

// Output lines without their line ends (LF or CR LF).
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

// An image made by mkfs.fat in dir; fails the test when mkfs.fat fails.
inline std::filesystem::path make_image(const fixtures::TempDir& dir, const std::string& name,
                                        const fixtures::MkfsOptions& options) {
  const auto path = dir.file(name);
  const auto run = fixtures::make_fat_image(path, options);
  EXPECT_TRUE(run.ok()) << run.describe();
  return path;
}

inline fixtures::MkfsOptions floppy() {
  fixtures::MkfsOptions o;
  o.fat_bits = 12;
  o.size_kb = 1440;
  o.label = "FLOPPY";
  o.serial = 0x12345678;
  return o;
}

inline fixtures::MkfsOptions fat16() {
  fixtures::MkfsOptions o;
  o.fat_bits = 16;
  o.size_kb = 16 * 1024;
  o.sectors_per_cluster = 4;
  o.label = "SIXTEEN";
  o.serial = 0xCAFE0016;
  return o;
}

inline fixtures::MkfsOptions fat32() {
  fixtures::MkfsOptions o;
  o.fat_bits = 32;
  o.size_kb = 40 * 1024;
  o.sectors_per_cluster = 1;
  o.label = "THIRTYTWO";
  o.serial = 0x80000032;
  return o;
}

// Both families the library runs on.
inline const std::vector<std::string> kFamilies{"nt", "9x"};

}  // namespace tooltest

#define VOLUMAR_EXPECT_RUN(run, status) EXPECT_EQ((run).exit_code, status) << (run).describe()
