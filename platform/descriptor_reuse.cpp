#include "platform/descriptor_reuse.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/syscalls.h"

namespace win {
namespace {

// A handful: a host rarely has more images open at once.
constexpr std::size_t kMostParked = 4;

struct Parked {
  std::string path;
  int flags;
  int fd;
  struct stat st;
};

std::atomic<bool> g_on{false};
std::mutex g_mutex;
std::vector<Parked> g_parked;

// Both from the same descriptor, so the same inode: only whether it changed.
bool unchanged(const struct stat& now, const struct stat& then) {
  return now.st_ctim.tv_sec == then.st_ctim.tv_sec && now.st_ctim.tv_nsec == then.st_ctim.tv_nsec &&
         now.st_size == then.st_size;
}

bool reusing() { return g_on.load() && &syscalls() == &posix_syscalls(); }

}  // namespace

void set_descriptor_reuse(bool on) {
  g_on = on;
  if (!on) close_parked_descriptors();
}

int take_parked_descriptor(const std::string& path, int flags, struct stat& st) {
  if (!reusing()) return -1;
  std::lock_guard lock(g_mutex);
  for (auto it = g_parked.begin(); it != g_parked.end(); ++it) {
    if (it->path != path || it->flags != flags) continue;
    const Parked parked = *it;
    g_parked.erase(it);
    // The descriptor's own status: no walk of the path, which costs more
    // than the read the descriptor is wanted for.
    if (syscalls().fstat(parked.fd, &st) == 0 && st.st_nlink > 0 && unchanged(st, parked.st)) return parked.fd;
    syscalls().close(parked.fd);
    return -1;
  }
  return -1;
}

bool park_descriptor(const std::string& path, int flags, int fd, const struct stat& st) {
  if (!reusing() || !S_ISREG(st.st_mode)) return false;
  std::lock_guard lock(g_mutex);
  if (g_parked.size() == kMostParked) {
    syscalls().close(g_parked.front().fd);
    g_parked.erase(g_parked.begin());
  }
  g_parked.push_back({path, flags, fd, st});
  return true;
}

void close_parked_descriptors() {
  std::lock_guard lock(g_mutex);
  for (const Parked& p : g_parked) syscalls().close(p.fd);
  g_parked.clear();
}

}  // namespace win
