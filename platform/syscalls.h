// The one table of POSIX calls beneath the platform. Every device and file
// operation goes through syscalls(), so a test can swap the table (or use
// SyscallFaults) and drive the real code paths into failure. Entries follow
// POSIX: -1 with errno set on failure.
#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

namespace win {

struct Syscalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<int(int fd)> close;
  std::function<ssize_t(int fd, void* buf, std::size_t count, off_t offset)> pread;
  std::function<ssize_t(int fd, const void* buf, std::size_t count, off_t offset)> pwrite;
  std::function<int(int fd, struct stat* st)> fstat;
  std::function<int(const char* path, struct stat* st)> stat;
  // Only the record-lock commands (F_OFD_SETLK, F_OFD_GETLK).
  std::function<int(int fd, int cmd, struct flock* lock)> fcntl_lock;
  std::function<int(int fd)> fsync;
  std::function<int(const char* path)> unlink;
  std::function<int(int fd, unsigned long request, void* arg)> ioctl;
  // A private copy-on-write mapping of `length` bytes from `offset` (a page
  // multiple); nullptr with errno set on failure.
  std::function<void*(int fd, std::size_t length, off_t offset)> map_copy;
  std::function<int(void* address, std::size_t length)> unmap;
};

// The table in force (the real POSIX one unless a test installed another).
const Syscalls& syscalls();
// The real calls.
const Syscalls& posix_syscalls();
// Installs a table (nullptr restores the real one) and returns the previous.
// The table must outlive its installation.
const Syscalls* set_syscalls(const Syscalls* table);

// Ready-made faults over the table in force when it was made; installs
// itself for its lifetime and restores the previous table after. Calls are
// counted from 1 while it is installed; nth 0 means every such call.
class SyscallFaults {
 public:
  SyscallFaults();
  ~SyscallFaults();
  SyscallFaults(const SyscallFaults&) = delete;
  SyscallFaults& operator=(const SyscallFaults&) = delete;

  // While a read rule is set, mappings fail too (ENODEV), so that readers
  // which map when they can take the read path the rule applies to.
  void fail_read(int nth, int error = EIO);
  void short_read(int nth, std::size_t at_most);  // the read delivers at most at_most bytes
  void fail_write(int nth, int error = EIO);
  void short_write(int nth, std::size_t at_most);
  void fail_open(int nth, int error);
  void fail_fsync(int error = EIO, int nth = 0);
  void fail_unlink(int error);
  void refuse_locks(bool refuse = true);  // F_OFD_SETLK fails with EAGAIN
  void refuse_lock(int nth);              // only the nth
  // A crash: the nth write reaches the disk (only its first half when torn),
  // then the process ends at once with kEndedByFault.
  void end_at_write(int nth, bool torn = false);
  static constexpr int kEndedByFault = 137;

  int reads() const { return reads_; }
  int writes() const { return writes_; }
  int opens() const { return opens_; }
  int fsyncs() const { return fsyncs_; }
  int locks() const { return locks_; }

 private:
  struct Rule {
    int nth = -1;  // -1: off
    int error = 0;
    std::size_t at_most = 0;
    bool hits(int count) const { return nth == 0 || nth == count; }
  };
  Syscalls table_;
  const Syscalls* previous_;
  const Syscalls& below_;
  Rule read_fail_, read_short_, write_fail_, write_short_, write_end_, open_fail_, fsync_fail_, lock_fail_;
  int unlink_error_ = 0;
  bool refuse_locks_ = false;
  int reads_ = 0, writes_ = 0, opens_ = 0, fsyncs_ = 0, locks_ = 0;
};

}  // namespace win

namespace win {
// A small host text file (a sysfs attribute) read through the table, up to
// max_bytes; nothing when it cannot be opened or read.
bool read_host_text(const char* path, std::string& text, std::size_t max_bytes = 4096);
}  // namespace win
