// The POSIX call table and its fault-injecting wrapper.
#include "platform/syscalls.h"

#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace win {
namespace {

Syscalls make_posix() {
  Syscalls s;
  s.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags | O_CLOEXEC, mode); };
  s.close = [](int fd) { return ::close(fd); };
  s.pread = [](int fd, void* buf, std::size_t n, off_t off) { return ::pread(fd, buf, n, off); };
  s.pwrite = [](int fd, const void* buf, std::size_t n, off_t off) { return ::pwrite(fd, buf, n, off); };
  s.fstat = [](int fd, struct stat* st) { return ::fstat(fd, st); };
  s.stat = [](const char* path, struct stat* st) { return ::stat(path, st); };
  s.fcntl_lock = [](int fd, int cmd, struct flock* lk) { return ::fcntl(fd, cmd, lk); };
  s.fsync = [](int fd) { return ::fsync(fd); };
  s.unlink = [](const char* path) { return ::unlink(path); };
  s.ioctl = [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); };
  s.map_copy = [](int fd, std::size_t n, off_t off) -> void* {
    // Mapped read-only, then opened for writing: reads share the page
    // cache's pages as they are touched; writes copy only their own pages.
    void* p = ::mmap(nullptr, n, PROT_READ, MAP_PRIVATE, fd, off);
    if (p == MAP_FAILED) return nullptr;
    if (::mprotect(p, n, PROT_READ | PROT_WRITE) != 0) {
      const int error = errno;
      ::munmap(p, n);
      errno = error;
      return nullptr;
    }
    return p;
  };
  s.unmap = [](void* p, std::size_t n) { return ::munmap(p, n); };
  return s;
}

std::atomic<const Syscalls*> g_table{nullptr};

}  // namespace

const Syscalls& posix_syscalls() {
  static const Syscalls table = make_posix();
  return table;
}

const Syscalls& syscalls() {
  const Syscalls* t = g_table.load();
  return t ? *t : posix_syscalls();
}

const Syscalls* set_syscalls(const Syscalls* table) {
  const Syscalls* previous = g_table.exchange(table);
  return previous ? previous : &posix_syscalls();
}

SyscallFaults::SyscallFaults() : table_(syscalls()), previous_(nullptr), below_(syscalls()) {
  table_.open = [this](const char* path, int flags, mode_t mode) {
    if (open_fail_.hits(++opens_)) {
      errno = open_fail_.error;
      return -1;
    }
    return below_.open(path, flags, mode);
  };
  table_.pread = [this](int fd, void* buf, std::size_t n, off_t off) -> ssize_t {
    ++reads_;
    if (read_fail_.hits(reads_)) {
      errno = read_fail_.error;
      return -1;
    }
    if (read_short_.hits(reads_) && n > read_short_.at_most) n = read_short_.at_most;
    return below_.pread(fd, buf, n, off);
  };
  table_.pwrite = [this](int fd, const void* buf, std::size_t n, off_t off) -> ssize_t {
    ++writes_;
    if (write_fail_.hits(writes_)) {
      errno = write_fail_.error;
      return -1;
    }
    if (write_short_.hits(writes_) && n > write_short_.at_most) n = write_short_.at_most;
    if (!write_end_.hits(writes_)) return below_.pwrite(fd, buf, n, off);
    // The process dies with this write on the disk, whole or its first half.
    if (write_end_.at_most) n /= 2;
    if (n > 0) below_.pwrite(fd, buf, n, off);
    std::_Exit(kEndedByFault);
  };
  table_.map_copy = [this](int fd, std::size_t n, off_t off) -> void* {
    if (read_fail_.nth >= 0 || read_short_.nth >= 0) {
      errno = ENODEV;
      return nullptr;
    }
    return below_.map_copy(fd, n, off);
  };
  table_.fcntl_lock = [this](int fd, int cmd, struct flock* lk) {
    if (cmd == F_OFD_SETLK && lk->l_type != F_UNLCK && (refuse_locks_ || lock_fail_.hits(++locks_))) {
      errno = EAGAIN;
      return -1;
    }
    return below_.fcntl_lock(fd, cmd, lk);
  };
  table_.unlink = [this](const char* path) {
    if (unlink_error_) {
      errno = unlink_error_;
      return -1;
    }
    return below_.unlink(path);
  };
  table_.fsync = [this](int fd) {
    if (fsync_fail_.hits(++fsyncs_)) {
      errno = fsync_fail_.error;
      return -1;
    }
    return below_.fsync(fd);
  };
  previous_ = set_syscalls(&table_);
}

SyscallFaults::~SyscallFaults() { set_syscalls(previous_ == &posix_syscalls() ? nullptr : previous_); }

void SyscallFaults::fail_read(int nth, int error) { read_fail_ = {nth, error, 0}; }
void SyscallFaults::short_read(int nth, std::size_t at_most) { read_short_ = {nth, 0, at_most}; }
void SyscallFaults::fail_write(int nth, int error) { write_fail_ = {nth, error, 0}; }
void SyscallFaults::short_write(int nth, std::size_t at_most) { write_short_ = {nth, 0, at_most}; }
void SyscallFaults::fail_open(int nth, int error) { open_fail_ = {nth, error, 0}; }
void SyscallFaults::fail_fsync(int error, int nth) { fsync_fail_ = {nth, error, 0}; }
void SyscallFaults::refuse_lock(int nth) { lock_fail_ = {nth, EAGAIN, 0}; }
void SyscallFaults::end_at_write(int nth, bool torn) { write_end_ = {nth, 0, torn ? 1u : 0u}; }
void SyscallFaults::fail_unlink(int error) { unlink_error_ = error; }
void SyscallFaults::refuse_locks(bool refuse) { refuse_locks_ = refuse; }

}  // namespace win

namespace win {
bool read_host_text(const char* path, std::string& text, std::size_t max_bytes) {
  const Syscalls& sys = syscalls();
  int fd = sys.open(path, O_RDONLY, 0);
  if (fd < 0) return false;
  text.assign(max_bytes, '\0');
  ssize_t n = sys.pread(fd, text.data(), max_bytes, 0);
  sys.close(fd);
  if (n < 0) return false;
  text.resize(static_cast<std::size_t>(n));
  return true;
}
}  // namespace win
