// Host files and devices under Windows I/O rules.
#include "platform/host_file.h"

#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/descriptor_reuse.h"
#include "platform/error_codes.h"
#include "platform/syscalls.h"
#include "platform/volume_shortfall.h"
#include "platform/volume_write_observer.h"

namespace win {
namespace {

constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());

int open_retrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do fd = syscalls().open(path.c_str(), flags, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool sysfs_removable(dev_t rdev) {
  std::string path = "/sys/dev/block/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev)) + "/removable";
  std::string text;
  return read_host_text(path.c_str(), text, 16) && !text.empty() && text[0] == '1';
}

struct RawOpen {
  bool writable = false;
  bool block = false;
  std::uint64_t size = 0;
  dev_t rdev = 0;
};

// Opens a raw device or image: read-write when asked and allowed, else
// read-only (to be write-protected). Takes the device's size from the host.
DWORD open_raw(const std::string& path, DWORD access, bool read_only, FileKind kind, std::unique_ptr<HostFile>& out,
               RawOpen& raw) {
  const bool want_write = (access & GENERIC_WRITE) != 0;
  bool fall_back = !want_write || read_only;
  struct stat st {};
  int flags = fall_back ? O_RDONLY : O_RDWR;
  int fd = take_parked_descriptor(path, flags, st);
  const bool parked = fd >= 0;
  if (!parked && !fall_back) {
    fd = open_retrying(path, O_RDWR, 0);
    fall_back = fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS);
  }
  if (fd < 0 && fall_back) fd = open_retrying(path, flags = O_RDONLY, 0);
  if (fd < 0) return error_from_errno(errno, ERROR_NOT_READY);
  raw.writable = flags == O_RDWR;
  if (!parked && syscalls().fstat(fd, &st) != 0) {
    syscalls().close(fd);
    return ERROR_NOT_READY;
  }
  out = std::make_unique<HostFile>(kind, fd, path, flags, st);
  raw.block = S_ISBLK(st.st_mode);
  raw.rdev = st.st_rdev;
  if (S_ISREG(st.st_mode)) {
    raw.size = static_cast<std::uint64_t>(st.st_size);
  } else if (raw.block) {
    std::uint64_t bytes = 0;
    if (syscalls().ioctl(fd, BLKGETSIZE64, &bytes) != 0) return ERROR_NOT_READY;
    raw.size = bytes;
  } else {
    return ERROR_NOT_READY;
  }
  return ERROR_SUCCESS;
}

}  // namespace

HostFile::HostFile(FileKind kind, int fd, std::string host_path, int open_flags, const struct stat& opened)
    : kind_(kind), fd_(fd), host_path_(std::move(host_path)), open_flags_(open_flags), opened_(opened) {}

HostFile::~HostFile() {
  // Closing would drop the locks too; a parked descriptor must hold none.
  if (fd_ < 0) return;
  if (kind_ == FileKind::File || !locks_.empty() || !park_descriptor(host_path_, open_flags_, fd_, opened_))
    syscalls().close(fd_);
}

std::uint64_t HostFile::size() const {
  if (fixed_size_) return *fixed_size_;
  struct stat st {};
  if (syscalls().fstat(fd_, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool HostFile::others_lock(std::uint64_t pos, std::uint64_t len, bool for_write) const {
  if (len == 0 || base_ + pos > kMaxOffset) return false;
  struct flock lk {};
  lk.l_type = for_write ? F_WRLCK : F_RDLCK;
  lk.l_whence = SEEK_SET;
  lk.l_start = static_cast<off_t>(base_ + pos);
  lk.l_len = len > kMaxOffset - (base_ + pos) ? 0 : static_cast<off_t>(len);
  if (syscalls().fcntl_lock(fd_, F_OFD_GETLK, &lk) != 0) return false;
  return lk.l_type != F_UNLCK;
}

DWORD HostFile::read_at(std::uint64_t pos, void* buffer, DWORD length, DWORD& done) {
  done = 0;
  if (!can_read_) return ERROR_ACCESS_DENIED;
  std::uint64_t n = fixed_size_ ? bytes_inside(*fixed_size_, pos, length) : length;
  if (n < length && kind_ != FileKind::File) count_volume_shortfall();
  if (n == 0) return ERROR_SUCCESS;
  if (base_ + pos > kMaxOffset) return fixed_size_ ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  if (others_lock(pos, n, false)) return ERROR_LOCK_VIOLATION;
  ssize_t got;
  do got = syscalls().pread(fd_, buffer, n, static_cast<off_t>(base_ + pos));
  while (got < 0 && errno == EINTR);
  if (got < 0) return error_from_errno(errno, ERROR_READ_FAULT);
  done = static_cast<DWORD>(got);
  return ERROR_SUCCESS;
}

DWORD HostFile::write_at(std::uint64_t pos, const void* buffer, DWORD length, DWORD& done) {
  done = 0;
  if (!can_write_) return ERROR_ACCESS_DENIED;
  if (write_protected_) return ERROR_WRITE_PROTECT;
  if (length == 0) return ERROR_SUCCESS;
  if (fixed_size_ && bytes_inside(*fixed_size_, pos, length) != length) return ERROR_SECTOR_NOT_FOUND;
  if (base_ + pos > kMaxOffset - length) return ERROR_DISK_FULL;
  if (others_lock(pos, length, true)) return ERROR_LOCK_VIOLATION;
  if (kind_ != FileKind::File && has_volume_write_observer()) {
    // The observer sees the bytes about to be overwritten; a write whose
    // old bytes cannot be read is not made.
    std::vector<std::uint8_t> before(length);
    if (DWORD error = read_all(pos, before.data(), length)) return error;
    const auto* after = static_cast<const std::uint8_t*>(buffer);
    const DWORD verdict = observe_volume_write({host_path_, base_, pos, before, {after, length}});
    if (verdict == VOLUME_WRITE_SKIPPED) {
      done = length;
      return ERROR_SUCCESS;
    }
    if (verdict != ERROR_SUCCESS) return verdict;
  }
  ssize_t put;
  do put = syscalls().pwrite(fd_, buffer, length, static_cast<off_t>(base_ + pos));
  while (put < 0 && errno == EINTR);
  if (put < 0) return error_from_errno(errno, ERROR_WRITE_FAULT);
  done = static_cast<DWORD>(put);
  return ERROR_SUCCESS;
}

DWORD HostFile::read_all(std::uint64_t pos, void* buffer, DWORD length) {
  auto* at = static_cast<std::uint8_t*>(buffer);
  for (DWORD done = 0, got = 0; done < length; done += got) {
    if (DWORD error = read_at(pos + done, at + done, length - done, got)) return error;
    if (got == 0) return ERROR_READ_FAULT;
  }
  return ERROR_SUCCESS;
}

DWORD HostFile::write_all(std::uint64_t pos, const void* buffer, DWORD length) {
  const auto* at = static_cast<const std::uint8_t*>(buffer);
  for (DWORD done = 0, put = 0; done < length; done += put) {
    if (DWORD error = write_at(pos + done, at + done, length - done, put)) return error;
    if (put == 0) return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

DWORD HostFile::map_copy(std::uint64_t pos, std::size_t length, View& view) {
  view = {};
  if (!can_read_) return ERROR_ACCESS_DENIED;
  if (length == 0) return ERROR_INVALID_PARAMETER;
  if (fixed_size_ && bytes_inside(*fixed_size_, pos, length) != length) return ERROR_HANDLE_EOF;
  if (base_ + pos > kMaxOffset - length) return ERROR_INVALID_PARAMETER;
  if (!block_device_) {
    struct stat st {};
    if (syscalls().fstat(fd_, &st) != 0) return error_from_errno(errno, ERROR_READ_FAULT);
    if (base_ + pos + length > static_cast<std::uint64_t>(st.st_size)) return ERROR_HANDLE_EOF;
  }
  if (others_lock(pos, length, false)) return ERROR_LOCK_VIOLATION;
  static const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  const std::uint64_t at = base_ + pos;
  const std::uint64_t start = at / page * page;
  const std::size_t mapped = static_cast<std::size_t>(at - start) + length;
  void* p = syscalls().map_copy(fd_, mapped, static_cast<off_t>(start));
  if (!p) return error_from_errno(errno, ERROR_NOT_ENOUGH_MEMORY);
  view = {p, mapped, static_cast<std::uint8_t*>(p) + (at - start)};
  return ERROR_SUCCESS;
}

void HostFile::unmap(const View& view) {
  if (view.base) syscalls().unmap(view.base, view.mapped);
}

DWORD HostFile::lock(std::uint64_t offset, std::uint64_t length) {
  for (const Range& r : locks_) {
    bool overlap = length && r.length && offset < r.offset + r.length && r.offset < offset + length;
    if (overlap) return ERROR_LOCK_VIOLATION;
  }
  if (length) {
    if (base_ + offset > kMaxOffset) return ERROR_INVALID_PARAMETER;
    struct flock lk {};
    lk.l_type = fd_writable_ ? F_WRLCK : F_RDLCK;
    lk.l_whence = SEEK_SET;
    lk.l_start = static_cast<off_t>(base_ + offset);
    lk.l_len = length > kMaxOffset - (base_ + offset) ? 0 : static_cast<off_t>(length);
    if (syscalls().fcntl_lock(fd_, F_OFD_SETLK, &lk) != 0)
      return errno == EACCES ? ERROR_LOCK_VIOLATION : error_from_errno(errno, ERROR_LOCK_VIOLATION);
  }
  locks_.push_back({offset, length});
  return ERROR_SUCCESS;
}

DWORD HostFile::unlock(std::uint64_t offset, std::uint64_t length) {
  for (auto it = locks_.begin(); it != locks_.end(); ++it) {
    if (it->offset != offset || it->length != length) continue;
    if (length) {
      struct flock lk {};
      lk.l_type = F_UNLCK;
      lk.l_whence = SEEK_SET;
      lk.l_start = static_cast<off_t>(base_ + offset);
      lk.l_len = length > kMaxOffset - (base_ + offset) ? 0 : static_cast<off_t>(length);
      if (syscalls().fcntl_lock(fd_, F_OFD_SETLK, &lk) != 0) return error_from_errno(errno, ERROR_NOT_LOCKED);
    }
    locks_.erase(it);
    return ERROR_SUCCESS;
  }
  return ERROR_NOT_LOCKED;
}

DWORD HostFile::flush() {
  if (!can_write_) return ERROR_ACCESS_DENIED;
  if (syscalls().fsync(fd_) != 0) return error_from_errno(errno, ERROR_WRITE_FAULT);
  return ERROR_SUCCESS;
}

DISK_GEOMETRY HostFile::geometry() const {
  DWORD heads = 255, sectors = 63, bytes = 512;
  if (block_device_) {
    int logical = 0;
    if (syscalls().ioctl(fd_, BLKSSZGET, &logical) == 0 && logical > 0) bytes = static_cast<DWORD>(logical);
    struct hd_geometry geo {};
    if (syscalls().ioctl(fd_, HDIO_GETGEO, &geo) == 0 && geo.heads && geo.sectors) {
      heads = geo.heads;
      sectors = geo.sectors;
    }
  }
  DISK_GEOMETRY g;
  g.Cylinders = static_cast<std::int64_t>(size() / (std::uint64_t{heads} * sectors * bytes));
  g.MediaType = removable_ ? RemovableMedia : FixedMedia;
  g.TracksPerCylinder = heads;
  g.SectorsPerTrack = sectors;
  g.BytesPerSector = bytes;
  return g;
}

DWORD open_volume(char letter, DWORD access, std::unique_ptr<HostFile>& out) {
  out.reset();
  auto drive = DriveMap::find(letter);
  if (!drive) return ERROR_FILE_NOT_FOUND;
  if (drive->path.empty()) return ERROR_NOT_READY;
  const bool read_only = DriveMap::read_only() || drive->read_only;
  RawOpen raw;
  DWORD error = open_raw(drive->path, access, read_only, FileKind::Volume, out, raw);
  if (error) {
    out.reset();
    return error == ERROR_ACCESS_DENIED ? error : ERROR_NOT_READY;
  }
  HostFile& f = *out;
  f.base_ = drive->offset.value_or(0);
  std::uint64_t available = raw.size > f.base_ ? raw.size - f.base_ : 0;
  f.fixed_size_ = drive->length ? std::min(*drive->length, available) : available;
  f.block_device_ = raw.block;
  f.fd_writable_ = raw.writable;
  f.removable_ = raw.block ? sysfs_removable(raw.rdev) : drive->type == DriveType::Removable;
  f.can_read_ = (access & GENERIC_READ) != 0;
  f.can_write_ = (access & GENERIC_WRITE) != 0;
  f.write_protected_ = read_only || (f.can_write_ && !f.fd_writable_);
  return ERROR_SUCCESS;
}

DWORD open_physical_drive(unsigned n, DWORD access, std::unique_ptr<HostFile>& out) {
  out.reset();
  std::vector<std::string> drives = DriveMap::physical_drives();
  if (n >= drives.size()) return ERROR_FILE_NOT_FOUND;
  const bool read_only = DriveMap::read_only();
  RawOpen raw;
  DWORD error = open_raw(drives[n], access, read_only, FileKind::PhysicalDrive, out, raw);
  if (error) {
    out.reset();
    return error;
  }
  HostFile& f = *out;
  f.fixed_size_ = raw.size;
  f.block_device_ = raw.block;
  f.fd_writable_ = raw.writable;
  f.removable_ = raw.block && sysfs_removable(raw.rdev);
  f.can_read_ = (access & GENERIC_READ) != 0;
  f.can_write_ = (access & GENERIC_WRITE) != 0;
  f.write_protected_ = read_only || (f.can_write_ && !f.fd_writable_);
  return ERROR_SUCCESS;
}

DWORD open_host_file(const ResolvedPath& path, DWORD access, DWORD disposition, std::unique_ptr<HostFile>& out,
                     bool& existed) {
  out.reset();
  existed = false;
  if (path.error) return path.error;
  const Syscalls& sys = syscalls();
  struct stat st {};
  int stat_error = sys.stat(path.host.c_str(), &st) == 0 ? 0 : errno;
  existed = stat_error == 0;
  if (existed && S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  auto missing = [&]() -> DWORD {
    if (stat_error != ENOENT) return error_from_errno(stat_error, ERROR_PATH_NOT_FOUND);
    std::string parent =
        path.host.substr(0, path.host.find_last_of('/') == std::string::npos ? 0 : path.host.find_last_of('/'));
    struct stat pst {};
    if (parent.empty()) return ERROR_FILE_NOT_FOUND;
    return sys.stat(parent.c_str(), &pst) == 0 && S_ISDIR(pst.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  };
  const bool want_write = (access & GENERIC_WRITE) != 0;
  int flags = 0;
  bool changes = want_write;
  switch (disposition) {
    case CREATE_NEW:
      if (existed) return ERROR_FILE_EXISTS;
      flags = O_CREAT | O_EXCL;
      changes = true;
      break;
    case CREATE_ALWAYS:
      flags = O_CREAT | O_TRUNC;
      changes = true;
      break;
    case OPEN_EXISTING:
      if (!existed) return missing();
      break;
    case OPEN_ALWAYS:
      flags = O_CREAT;
      changes = changes || !existed;
      break;
    case TRUNCATE_EXISTING:
      if (!want_write) return ERROR_INVALID_PARAMETER;
      if (!existed) return missing();
      flags = O_TRUNC;
      break;
    default: return ERROR_INVALID_PARAMETER;
  }
  if (changes && path.read_only) return ERROR_WRITE_PROTECT;
  if ((flags & O_CREAT) && !existed && stat_error != ENOENT) return missing();
  const bool want_read = (access & GENERIC_READ) != 0;
  flags |= want_write ? (want_read ? O_RDWR : O_WRONLY) : O_RDONLY;
  int fd = open_retrying(path.host, flags, 0666);
  if (fd < 0) {
    if (errno == ENOENT) return missing();
    return error_from_errno(errno, ERROR_ACCESS_DENIED);
  }
  out = std::make_unique<HostFile>(FileKind::File, fd, path.host);
  out->can_read_ = want_read;
  out->can_write_ = want_write;
  out->fd_writable_ = want_write;
  return ERROR_SUCCESS;
}

}  // namespace win
