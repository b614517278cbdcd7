// An open host file or device with Windows I/O semantics, shared by the
// kernel32 calls and the 9x service: raw volumes and physical disks have a
// fixed size (reads stop at the end, writes that would pass it fail, an
// image never grows), byte-range locks are open-file-description locks that
// conflict between handles and keep out other handles' reads and writes,
// and write-protected media refuse writes.
#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_records.h"
#include "platform/drive_map.h"
#include "platform/win_path.h"
#include "platform/win_types.h"

namespace win {

enum class FileKind { Volume, PhysicalDrive, File };

// The one volume range rule: how many of len bytes from pos lie before size.
inline std::uint64_t bytes_inside(std::uint64_t size, std::uint64_t pos, std::uint64_t len) {
  if (pos >= size) return 0;
  return len < size - pos ? len : size - pos;
}

class HostFile {
 public:
  // open_flags and opened: how fd was opened and the file's status then, for
  // reusing fd after the last close.
  HostFile(FileKind kind, int fd, std::string host_path, int open_flags = 0, const struct stat& opened = {});
  ~HostFile();
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  FileKind kind() const { return kind_; }
  const std::string& host_path() const { return host_path_; }
  bool can_read() const { return can_read_; }
  bool can_write() const { return can_write_; }
  bool write_protected() const { return write_protected_; }
  bool is_block_device() const { return block_device_; }

  // Fixed size of a volume or disk; the current size of an ordinary file.
  std::uint64_t size() const;

  // Error code, 0 on success. One host transfer per call: what it delivered
  // is in done (a short transfer is not retried). Fixed-size files deliver
  // the bytes before their end and nothing past it; writes must fit whole.
  DWORD read_at(std::uint64_t pos, void* buffer, DWORD length, DWORD& done);
  DWORD write_at(std::uint64_t pos, const void* buffer, DWORD length, DWORD& done);
  // As those, continued until all `length` bytes moved; a transfer that
  // moves nothing is ERROR_READ_FAULT or ERROR_WRITE_FAULT.
  DWORD read_all(std::uint64_t pos, void* buffer, DWORD length);
  DWORD write_all(std::uint64_t pos, const void* buffer, DWORD length);

  // A private copy-on-write view of `length` bytes from pos: `data` points
  // at pos's byte, and base/mapped are what unmap() takes. Only bytes the
  // volume and the host file both hold can be mapped (touching a mapped byte
  // past the host file's end would fault), and not while another handle
  // locks part of them.
  struct View {
    void* base = nullptr;
    std::size_t mapped = 0;
    std::uint8_t* data = nullptr;
  };
  DWORD map_copy(std::uint64_t pos, std::size_t length, View& view);
  static void unmap(const View& view);

  // Windows byte ranges: a range may not overlap one this handle holds, and
  // unlocking needs the exact range that was locked.
  DWORD lock(std::uint64_t offset, std::uint64_t length);
  DWORD unlock(std::uint64_t offset, std::uint64_t length);
  DWORD flush();

  // From the block device, or 255 heads of 63 sectors of 512 bytes.
  DISK_GEOMETRY geometry() const;

 private:
  friend DWORD open_volume(char, DWORD, std::unique_ptr<HostFile>&);
  friend DWORD open_physical_drive(unsigned, DWORD, std::unique_ptr<HostFile>&);
  friend DWORD open_host_file(const ResolvedPath&, DWORD, DWORD, std::unique_ptr<HostFile>&, bool&);
  bool others_lock(std::uint64_t pos, std::uint64_t len, bool for_write) const;

  FileKind kind_;
  int fd_;
  std::string host_path_;
  std::uint64_t base_ = 0;
  std::optional<std::uint64_t> fixed_size_;
  bool can_read_ = false, can_write_ = false, write_protected_ = false, block_device_ = false;
  bool fd_writable_ = false;
  int open_flags_ = 0;
  struct stat opened_ {};  // the file's status when opened
  bool removable_ = false;
  struct Range {
    std::uint64_t offset, length;
  };
  std::vector<Range> locks_;
};

// access: GENERIC_READ / GENERIC_WRITE bits (0 opens for queries only).
// A mapped letter whose volume is missing or unopenable: ERROR_NOT_READY;
// unmapped: ERROR_FILE_NOT_FOUND. An image the process may not write, or a
// read-only drive, opens write-protected.
DWORD open_volume(char letter, DWORD access, std::unique_ptr<HostFile>& out);
// n past the disk list: ERROR_FILE_NOT_FOUND.
DWORD open_physical_drive(unsigned n, DWORD access, std::unique_ptr<HostFile>& out);
// An ordinary file with CreateFileA's dispositions; existed tells whether it
// was there before (for ERROR_ALREADY_EXISTS).
DWORD open_host_file(const ResolvedPath& path, DWORD access, DWORD disposition, std::unique_ptr<HostFile>& out,
                     bool& existed);

}  // namespace win
