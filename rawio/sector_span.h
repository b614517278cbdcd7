// The whole sectors that cover a byte range, with the runtime's arithmetic
// limits, and the other small pieces the read and write paths share.
#pragma once
#include <functional>
#include <string>

#include "frame/value_types.h"
#include "platform/device_records.h"
#include "platform/win_types.h"

namespace volumar {

struct SectorSpan {
  Long sectors;  // sectors from the start sector up to the one holding the last byte
  Long bytes;    // sectors * bytes per sector
};

// Raises Subscript out of range (9) for a count below 1 or a negative
// offset, Division by zero (11) for a zero sector size and Overflow (6)
// when the span leaves the 32-bit range.
SectorSpan cover_bytes(Long byte_offset, Long byte_count, Integer bytes_per_sector);

// startSector * bytesPerSector; a device position at or past 2 GiB overflows.
Long device_position(Long start_sector, Integer bytes_per_sector);

// The extended request's sector count is 16 bits; more than 32,767 overflows.
std::uint16_t extended_sector_count(Long sectors);

// "\\.\C:" for any drive text whose first character is c or C.
std::string volume_device_path(const String& drive);
// A = 0; raises Invalid procedure call (5) for an empty drive text.
Long drive_number(const String& drive);

// Closes a platform handle when the path that opened it ends, however it ends.
class HandleGuard {
 public:
  explicit HandleGuard(win::HANDLE handle) : handle_(handle) {}
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  ~HandleGuard();
  win::HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != win::INVALID_HANDLE_VALUE; }

 private:
  win::HANDLE handle_;
};

// Sends one register record to the 9x service and reads back its answer;
// true when the call succeeded and the carry is clear.
bool send_vwin32_request(win::HANDLE vwin32, win::DWORD code, win::DIOC_REGISTERS& regs);

// Runs `attempt` until it succeeds, or fails for another reason than a
// range another writer holds for the moment; waits a while for that one.
bool retry_while_locked(const std::function<bool()>& attempt);

// ReadFile or WriteFile of `length` bytes from the handle's position, a short
// transfer continued until the span is done; false when a call failed or
// moved nothing. A range another writer holds for a moment is waited for.
bool read_whole(win::HANDLE h, void* buffer, win::DWORD length);
bool write_whole(win::HANDLE h, const void* buffer, win::DWORD length);

inline constexpr win::DWORD kShareReadWrite = win::FILE_SHARE_READ | win::FILE_SHARE_WRITE;

// A buffer's 32-bit address for the 9x service, valid while this lives.
class BufferAddress {
 public:
  BufferAddress(void* data, std::size_t size);
  BufferAddress(const BufferAddress&) = delete;
  BufferAddress& operator=(const BufferAddress&) = delete;
  ~BufferAddress();
  win::DWORD get() const { return address_; }

 private:
  win::DWORD address_;
};

}  // namespace volumar
