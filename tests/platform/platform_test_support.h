// Shared setup for the platform tests: a temporary folder for images, and a
// reset of everything a host configures, so tests do not leak into each other.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/drive_map.h"
#include "platform/family.h"
#include "platform/kernel32_files.h"
#include "platform/trace.h"
#include "platform/vwin32.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"

namespace platform_test {

// Host settings built field by field (designated initializers that skip
// fields draw -Wmissing-field-initializers from this compiler).
inline win::VolumeMapping ranged(std::uint64_t offset, std::optional<std::uint64_t> length = std::nullopt) {
  win::VolumeMapping s;
  s.offset = offset;
  s.length = length;
  return s;
}
inline win::VolumeMapping flagged(bool read_only, win::DriveType type = win::DriveType::Fixed) {
  win::VolumeMapping s;
  s.read_only = read_only;
  s.type = type;
  return s;
}
inline win::VolumeMapping folder_only(const std::string& folder, win::DriveType type = win::DriveType::Fixed,
                                      bool read_only = false) {
  win::VolumeMapping s;
  s.folder = folder;
  s.type = type;
  s.read_only = read_only;
  return s;
}
inline fixtures::MkfsOptions mkfs(int bits, std::uint64_t kb, std::string label = {},
                                  std::optional<std::uint32_t> serial = std::nullopt, unsigned sector_size = 0) {
  fixtures::MkfsOptions o;
  o.fat_bits = bits;
  o.size_kb = kb;
  o.label = std::move(label);
  o.serial = serial;
  o.sector_size = sector_size;
  return o;
}

inline std::uint8_t pattern(std::uint64_t i) { return static_cast<std::uint8_t>(i * 7 + (i >> 9) * 13 + 1); }

class PlatformTest : public ::testing::Test {
 protected:
  void TearDown() override {
    win::DriveMap::clear();
    win::DriveMap::set_read_only(false);
    win::DriveMap::use_system_physical_drives();
    win::set_family(win::Family::NT);
    win::set_get_version_failure(0);
    win::set_vwin32_require_lock(false);
    win::set_trace_sink({});
    EXPECT_EQ(win::open_handle_count(), 0u) << "a handle was left open";
  }

  // An image of `size` bytes of pattern().
  std::filesystem::path raw_image(const std::string& name, std::uint64_t size) {
    std::filesystem::path p = dir_.file(name);
    std::vector<char> bytes(size);
    for (std::uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(pattern(i));
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    return p;
  }

  std::filesystem::path fat_image(const std::string& name, const fixtures::MkfsOptions& options) {
    std::filesystem::path p = dir_.file(name);
    fixtures::ToolRun run = fixtures::make_fat_image(p, options);
    EXPECT_TRUE(run.ok()) << run.describe();
    return p;
  }

  void map(char letter, const std::filesystem::path& image, win::VolumeMapping volume = {}) {
    volume.path = image.string();
    win::DriveMap::map(letter, std::move(volume));
  }

  static win::HANDLE open_path(const char* path, win::DWORD access = win::GENERIC_READ | win::GENERIC_WRITE,
                               win::DWORD disposition = win::OPEN_EXISTING) {
    return win::CreateFileA(path, access, win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, nullptr, disposition, 0,
                            nullptr);
  }

  fixtures::TempDir dir_{"volumar-platform"};
};

}  // namespace platform_test
