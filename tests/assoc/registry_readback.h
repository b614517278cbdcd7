// Reads the registry back in a new process: a forked child opens the
// persistent store afresh and lists every key and value under
// HKEY_CLASSES_ROOT, so a test sees what reached the file, not what a
// process still holds.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace readback {

// "path" for a key, "path|name=value" for a value ("" names the default
// value; text values without their NUL, other types as "<type:size>").
using Listing = std::set<std::string>;

inline void list_key(win::HKEY key, const std::string& path, Listing& out) {
  if (!path.empty()) out.insert(path);
  for (win::DWORD i = 0;; ++i) {
    char name[16384];
    win::DWORD name_size = sizeof name;
    win::BYTE data[16384];
    win::DWORD data_size = sizeof data, type = 0;
    if (win::RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &data_size) != win::ERROR_SUCCESS) break;
    std::string value;
    if (type == win::REG_SZ) {
      value.assign(reinterpret_cast<const char*>(data), data_size);
      while (!value.empty() && value.back() == '\0') value.pop_back();
    } else {
      value = "<type" + std::to_string(type) + ":" + std::to_string(data_size) + ">";
    }
    out.insert(path + "|" + std::string(name, name_size) + "=" + value);
  }
  for (win::DWORD i = 0;; ++i) {
    char name[16384];
    if (win::RegEnumKeyA(key, i, name, sizeof name) != win::ERROR_SUCCESS) break;
    win::HKEY sub = nullptr;
    if (win::RegOpenKeyExA(key, name, 0, win::KEY_READ, &sub) != win::ERROR_SUCCESS) continue;
    list_key(sub, path.empty() ? name : path + "\\" + name, out);
    win::RegCloseKey(sub);
  }
}

// Lists HKEY_CLASSES_ROOT of `store` in a child process. The calling
// process lets go of the file meanwhile and opens it again afterwards.
inline Listing classes_root_in_new_process(const std::filesystem::path& store) {
  win::registry_use_memory();
  int fds[2];
  if (::pipe(fds) != 0) return {"<pipe failed>"};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    std::string text;
    if (!win::registry_use_file(store)) {
      text = "<cannot open store>\n";
    } else {
      Listing listing;
      list_key(win::HKEY_CLASSES_ROOT, "", listing);
      for (const auto& line : listing) text += line + "\n";
    }
    std::size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  win::registry_use_file(store);
  Listing listing;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) listing.insert("<child failed>");
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    listing.insert(text.substr(start, nl - start));
  return listing;
}

// The lines of `listing` that begin with `prefix` (a key and what is below it).
inline Listing below(const Listing& listing, const std::string& prefix) {
  Listing out;
  for (const auto& line : listing)
    if (line.compare(0, prefix.size(), prefix) == 0) out.insert(line);
  return out;
}

}  // namespace readback
