// A recorder of platform requests for tests: while a RequestLog exists,
// every open, close, read, write, lock, unlock, flush and device control
// made through the kernel32 calls is kept as a record, with the device
// records as bytes (DIOC_REGISTERS as sent and as returned, the DISKIO
// packet the service read, the bytes a write carried).
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

struct PlatformRequest {
  enum class Kind { Open, Close, Read, Write, Lock, Unlock, Flush, Control };
  Kind kind = Kind::Open;
  HANDLE handle = nullptr;     // Open: the new handle (INVALID_HANDLE_VALUE on failure)
  std::string target;          // the name the handle was opened with
  std::uint64_t position = 0;  // Read/Write: file pointer; Lock/Unlock: offset
  std::uint64_t length = 0;    // bytes asked, or the range's length
  DWORD transferred = 0;       // bytes read or written
  DWORD access = 0;            // Open
  DWORD code = 0;              // Control
  std::vector<BYTE> input, output, packet, data;
  BOOL result = FALSE;
  DWORD error = 0;  // the last-error value the call left when it failed
};

class RequestLog {
 public:
  RequestLog();   // becomes the active log
  ~RequestLog();  // the previous log becomes active again
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  std::vector<PlatformRequest> requests() const;
  std::vector<PlatformRequest> of_kind(PlatformRequest::Kind kind) const;
  void clear();

  // For the platform's calls.
  static bool active();
  static void record(PlatformRequest request);

 private:
  mutable std::mutex mutex_;
  std::vector<PlatformRequest> requests_;
  RequestLog* previous_;
};

}  // namespace win
