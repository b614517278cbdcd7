// Mounted-device checks from /proc/self/mounts and the write confirmation.
#include "tools/volumar/journal/write_guard.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/drive_map.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

// /proc/self/mounts writes spaces and the like as \ooo.
std::string unescape_mount_field(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string oct = field.substr(i + 1, 3);
      if (oct.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(oct, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::string sysfs_dir(dev_t dev) {
  std::error_code ec;
  auto p =
      std::filesystem::canonical("/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev)), ec);
  return ec ? std::string() : p.string();
}

// The whole disk a partition belongs to; the device itself otherwise.
std::string disk_of(dev_t dev) {
  const std::string dir = sysfs_dir(dev);
  if (dir.empty()) return {};
  if (std::filesystem::exists(dir + "/partition")) return std::filesystem::path(dir).parent_path().string();
  return dir;
}

std::string loop_backing_file(dev_t dev) {
  const std::string dir = sysfs_dir(dev);
  if (dir.empty()) return {};
  std::ifstream in(dir + "/loop/backing_file");
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

void refuse_if_mounted(char letter, bool force) {
  if (force) return;
  const auto mapping = win::DriveMap::find(letter);
  if (!mapping || mapping->path.empty()) return;
  struct stat ours {};
  if (::stat(mapping->path.c_str(), &ours) != 0) return;
  std::error_code ec;
  const auto our_file = std::filesystem::weakly_canonical(mapping->path, ec);

  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string source, target;
    fields >> source >> target;
    source = unescape_mount_field(source);
    target = unescape_mount_field(target);
    struct stat st {};
    if (source.empty() || source[0] != '/' || ::stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) continue;
    bool hit = false;
    if (S_ISBLK(ours.st_mode)) {
      // The same device, a mounted partition of the disk being written, or
      // the mounted disk of the partition being written.
      const std::string mounted_dir = sysfs_dir(st.st_rdev), our_dir = sysfs_dir(ours.st_rdev);
      hit = st.st_rdev == ours.st_rdev || (!our_dir.empty() && disk_of(st.st_rdev) == our_dir) ||
            (!mounted_dir.empty() && disk_of(ours.st_rdev) == mounted_dir);
    } else if (S_ISREG(ours.st_mode)) {
      const std::string backing = loop_backing_file(st.st_rdev);
      hit = !backing.empty() && std::filesystem::weakly_canonical(backing, ec) == our_file;
    }
    if (hit)
      fail(given_name(letter) + ": " + mapping->path + " is mounted (" + source + " on " + target +
           "); unmount it first, or give --force to write anyway");
  }
}

void confirm_write(const std::string& question, bool yes) {
  if (yes) return;
  if (isatty(STDIN_FILENO) != 1) fail("refusing to write without --yes: standard input is not a terminal");
  std::fflush(stdout);  // what the command printed so far comes before the question
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) answer.clear();
  if (answer != "y" && answer != "Y" && answer != "yes" && answer != "YES" && answer != "Yes") fail("nothing written");
}

void refuse_if_unwritable(char letter) {
  if (dry_run()) return;
  std::string what = given_name(letter);
  what += ": nothing written: ";
  if (win::DriveMap::is_read_only(letter)) fail(what + "the volume is read-only");
  const auto mapping = win::DriveMap::find(letter);
  // The library would open the file read-only and report no more than a failed write.
  if (mapping && !mapping->path.empty() && ::access(mapping->path.c_str(), W_OK) != 0)
    fail(what + mapping->path + ": " + std::strerror(errno));
}

void guard_write(char letter, const std::string& question, bool yes, bool force) {
  refuse_if_unwritable(letter);
  refuse_if_mounted(letter, force);
  require_journal();  // a journal that cannot be kept stops the command before it asks
  confirm_write(question, yes);
  roll_back_on_failure();
}

void fail_unwritten(char letter) {
  if (win::DriveMap::is_read_only(letter)) fail(given_name(letter) + ": nothing written: the volume is read-only");
  fail(given_name(letter) + ": the write failed");
}

}  // namespace volumar_tool
