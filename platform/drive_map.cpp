// The host's drive map, the physical disk list and path resolution.
#include "platform/drive_map.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "platform/syscalls.h"
#include "platform/win_path.h"

namespace win {
namespace {

struct State {
  std::mutex mutex;
  std::array<std::optional<VolumeMapping>, 26> drives;
  bool read_only = false;
  std::optional<std::vector<std::string>> physical;
};

State& state() {
  static State s;
  return s;
}

std::size_t index_of(char letter) {
  char upper = drive_letter(letter);
  if (!upper) throw std::invalid_argument("drive letter must be A to Z");
  return static_cast<std::size_t>(upper - 'A');
}

bool excluded_device(const std::string& name) {
  for (const char* prefix : {"loop", "ram", "zram", "sr", "fd", "dm-", "md", "nbd"})
    if (name.rfind(prefix, 0) == 0) return true;
  return false;
}

}  // namespace

void DriveMap::map(char letter, VolumeMapping volume) {
  std::size_t i = index_of(letter);
  std::lock_guard lock(state().mutex);
  state().drives[i] = std::move(volume);
}

void DriveMap::unmap(char letter) {
  std::size_t i = index_of(letter);
  std::lock_guard lock(state().mutex);
  state().drives[i].reset();
}

void DriveMap::clear() {
  std::lock_guard lock(state().mutex);
  for (auto& d : state().drives) d.reset();
}

std::optional<VolumeMapping> DriveMap::find(char letter) {
  char upper = drive_letter(letter);
  if (!upper) return std::nullopt;
  std::lock_guard lock(state().mutex);
  return state().drives[static_cast<std::size_t>(upper - 'A')];
}

void DriveMap::set_read_only(bool read_only) {
  std::lock_guard lock(state().mutex);
  state().read_only = read_only;
}

bool DriveMap::read_only() {
  std::lock_guard lock(state().mutex);
  return state().read_only;
}

bool DriveMap::is_read_only(char letter) {
  auto volume = find(letter);
  return read_only() || (volume && volume->read_only);
}

void DriveMap::set_physical_drives(std::vector<std::string> paths) {
  std::lock_guard lock(state().mutex);
  state().physical = std::move(paths);
}

void DriveMap::use_system_physical_drives() {
  std::lock_guard lock(state().mutex);
  state().physical.reset();
}

std::vector<std::string> DriveMap::physical_drives() {
  {
    std::lock_guard lock(state().mutex);
    if (state().physical) return *state().physical;
  }
  return system_physical_drives();
}

std::vector<std::string> system_physical_drives() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", ec)) {
    std::string name = entry.path().filename().string();
    if (excluded_device(name)) continue;
    std::string size;
    if (!read_host_text((entry.path() / "size").c_str(), size, 64) || std::strtoull(size.c_str(), nullptr, 10) == 0)
      continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  for (std::string& name : names) {
    for (char& c : name)
      if (c == '!') c = '/';  // sysfs spells cciss/c0d0 as cciss!c0d0
    paths.push_back("/dev/" + name);
  }
  return paths;
}

ResolvedPath resolve_path(std::string_view path) {
  ResolvedPath r;
  WinPath p = parse_win_path(path);
  std::string tail;
  for (const std::string& c : p.components) {
    if (!tail.empty()) tail += '/';
    tail += c;
  }
  switch (p.kind) {
    case PathKind::Relative: r.host = tail.empty() ? "." : tail; return r;
    case PathKind::Drive: {
      auto volume = DriveMap::find(p.letter);
      if (!volume) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
      }
      if (volume->folder.empty()) {
        r.error = ERROR_NOT_READY;
        return r;
      }
      r.letter = p.letter;
      r.read_only = DriveMap::read_only() || volume->read_only;
      r.host = volume->folder;
      if (!tail.empty()) {
        if (r.host.empty() || r.host.back() != '/') r.host += '/';
        r.host += tail;
      }
      return r;
    }
    case PathKind::Invalid: r.error = p.error; return r;
    default: r.error = ERROR_PATH_NOT_FOUND; return r;
  }
}

}  // namespace win
