// kernel32's device and file calls: thin entry points over HostFile and the
// 9x service, each ending in detail::complete.
#include "platform/kernel32_files.h"

#include <memory>
#include <sstream>
#include <vector>

#include "platform/call_trace.h"
#include "platform/device_records.h"
#include "platform/drive_map.h"
#include "platform/family.h"
#include "platform/file_object.h"
#include "platform/handle_table.h"
#include "platform/host_file.h"
#include "platform/request_log.h"
#include "platform/trace.h"
#include "platform/vwin32.h"
#include "platform/win_path.h"

namespace win {
namespace {

// Specific rights folded into the two generic ones the platform knows.
DWORD generic_access(DWORD access) {
  DWORD out = 0;
  if (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) out |= GENERIC_READ;
  if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) out |= GENERIC_WRITE;
  return out;
}

std::string target_of(const std::shared_ptr<KernelObject>& object) {
  if (auto* f = dynamic_cast<FileObject*>(object.get())) return f->name;
  if (dynamic_cast<Vwin32Connection*>(object.get())) return "\\\\.\\VWIN32";
  return {};
}

std::optional<DWORD> failure(BOOL ok, DWORD error) { return ok ? std::nullopt : std::optional<DWORD>(error); }

std::uint64_t join(DWORD low, DWORD high) { return (std::uint64_t{high} << 32) | low; }

void record(PlatformRequest::Kind kind, HANDLE h, const std::shared_ptr<KernelObject>& object, BOOL ok, DWORD error,
            std::uint64_t position = 0, std::uint64_t length = 0, DWORD transferred = 0) {
  if (!RequestLog::active()) return;
  PlatformRequest r;
  r.kind = kind;
  r.handle = h;
  r.target = object ? target_of(object) : std::string();
  r.position = position;
  r.length = length;
  r.transferred = transferred;
  r.result = ok;
  r.error = ok ? 0 : error;
  RequestLog::record(std::move(r));
}

DWORD open_object(const char* name, DWORD access, DWORD disposition, std::shared_ptr<KernelObject>& object,
                  bool& existed) {
  existed = false;
  if (!name) return ERROR_INVALID_PARAMETER;
  WinPath path = parse_win_path(name);
  const bool nt = is_nt_family();
  auto open_device = [&](auto&& opener) -> DWORD {
    if (!nt) return ERROR_FILE_NOT_FOUND;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) return ERROR_INVALID_PARAMETER;
    if (disposition == CREATE_NEW) return ERROR_FILE_EXISTS;
    auto f = std::make_shared<FileObject>();
    f->name = name;
    if (DWORD error = opener(f->file)) return error;
    object = std::move(f);
    return ERROR_SUCCESS;
  };
  switch (path.kind) {
    case PathKind::Vwin32:
      if (nt) return ERROR_FILE_NOT_FOUND;
      object = std::make_shared<Vwin32Connection>();
      return ERROR_SUCCESS;
    case PathKind::Volume:
      return open_device([&](std::unique_ptr<HostFile>& f) { return open_volume(path.letter, access, f); });
    case PathKind::PhysicalDrive:
      return open_device([&](std::unique_ptr<HostFile>& f) { return open_physical_drive(path.number, access, f); });
    case PathKind::OtherDevice: return ERROR_FILE_NOT_FOUND;
    default: {
      auto f = std::make_shared<FileObject>();
      f->name = name;
      if (DWORD error = open_host_file(resolve_path(name), access, disposition, f->file, existed)) return error;
      object = std::move(f);
      return ERROR_SUCCESS;
    }
  }
}

// The handle's file, or nullptr (ERROR_INVALID_HANDLE, or ERROR_INVALID_FUNCTION
// for a handle that is not a file).
FileObject* file_of(const std::shared_ptr<KernelObject>& object, DWORD& error) {
  if (!object) {
    error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  auto* f = dynamic_cast<FileObject*>(object.get());
  if (!f) error = ERROR_INVALID_FUNCTION;
  return f;
}

std::string record_text(const void* p, DWORD size) {
  if (!p) return "null";
  std::string text = "[";
  text += hex_bytes(p, size);
  text += ']';
  return text;
}

}  // namespace

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPVOID, DWORD dwCreationDisposition,
                   DWORD, HANDLE) {
  std::shared_ptr<KernelObject> object;
  bool existed = false;
  DWORD error = open_object(lpFileName, generic_access(dwDesiredAccess), dwCreationDisposition, object, existed);
  HANDLE h = error ? INVALID_HANDLE_VALUE : insert_handle(object);
  if (!error && existed && (dwCreationDisposition == OPEN_ALWAYS || dwCreationDisposition == CREATE_ALWAYS))
    error = ERROR_ALREADY_EXISTS;
  const bool ok = h != INVALID_HANDLE_VALUE;
  if (RequestLog::active()) {
    PlatformRequest r;
    r.kind = PlatformRequest::Kind::Open;
    r.handle = h;
    r.target = lpFileName ? lpFileName : "";
    r.access = dwDesiredAccess;
    r.result = ok;
    r.error = ok ? 0 : error;
    RequestLog::record(std::move(r));
  }
  detail::complete(error, [&] {
    return "CreateFileA(" + detail::quote(lpFileName) + ", " + detail::access_text(dwDesiredAccess) + ", " +
           std::to_string(dwShareMode) + ", " + detail::disposition_text(dwCreationDisposition) +
           ") = " + detail::handle_text(h);
  });
  return h;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  auto object = lookup_handle(hFile);
  DWORD error = ERROR_SUCCESS;
  DWORD result = INVALID_SET_FILE_POINTER;
  const std::int64_t distance = lpDistanceToMoveHigh
                                    ? static_cast<std::int64_t>(join(static_cast<DWORD>(lDistanceToMove),
                                                                     static_cast<DWORD>(*lpDistanceToMoveHigh)))
                                    : std::int64_t{lDistanceToMove};
  if (FileObject* f = file_of(object, error)) {
    std::lock_guard lock(f->mutex);
    std::int64_t from = 0;
    if (dwMoveMethod == FILE_CURRENT)
      from = static_cast<std::int64_t>(f->pointer);
    else if (dwMoveMethod == FILE_END)
      from = static_cast<std::int64_t>(f->file->size());
    else if (dwMoveMethod != FILE_BEGIN)
      error = ERROR_INVALID_PARAMETER;
    std::int64_t to = 0;
    if (!error && __builtin_add_overflow(from, distance, &to)) error = ERROR_INVALID_PARAMETER;
    if (!error && to < 0) error = ERROR_NEGATIVE_SEEK;
    if (!error && !lpDistanceToMoveHigh && to > 0xFFFFFFFFll) error = ERROR_INVALID_PARAMETER;
    if (!error) {
      f->pointer = static_cast<std::uint64_t>(to);
      result = static_cast<DWORD>(f->pointer);
      if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(f->pointer >> 32);
    }
  }
  std::optional<DWORD> last = error                                ? std::optional<DWORD>(error)
                              : result == INVALID_SET_FILE_POINTER ? std::optional<DWORD>(ERROR_SUCCESS)
                                                                   : std::nullopt;
  detail::complete(last, [&] {
    return "SetFilePointer(" + detail::handle_text(hFile) + ", " + std::to_string(distance) + ", " +
           std::to_string(dwMoveMethod) + ") = " + detail::hex(result);
  });
  return result;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead, LPVOID) {
  auto object = lookup_handle(hFile);
  DWORD error = ERROR_SUCCESS, done = 0;
  std::uint64_t position = 0;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (FileObject* f = file_of(object, error)) {
    std::lock_guard lock(f->mutex);
    position = f->pointer;
    if (!lpBuffer && nNumberOfBytesToRead)
      error = ERROR_INVALID_PARAMETER;
    else
      error = f->file->read_at(f->pointer, lpBuffer, nNumberOfBytesToRead, done);
    f->pointer += done;
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
  const BOOL ok = error ? FALSE : TRUE;
  record(PlatformRequest::Kind::Read, hFile, object, ok, error, position, nNumberOfBytesToRead, done);
  detail::complete(failure(ok, error), [&] {
    return "ReadFile(" + detail::handle_text(hFile) + ", " + std::to_string(nNumberOfBytesToRead) +
           ") = " + detail::bool_text(ok) + " at=" + std::to_string(position) + " read=" + std::to_string(done);
  });
  return ok;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten, LPVOID) {
  auto object = lookup_handle(hFile);
  DWORD error = ERROR_SUCCESS, done = 0;
  std::uint64_t position = 0;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  if (FileObject* f = file_of(object, error)) {
    std::lock_guard lock(f->mutex);
    position = f->pointer;
    if (!lpBuffer && nNumberOfBytesToWrite)
      error = ERROR_INVALID_PARAMETER;
    else
      error = f->file->write_at(f->pointer, lpBuffer, nNumberOfBytesToWrite, done);
    f->pointer += done;
  }
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = done;
  const BOOL ok = error ? FALSE : TRUE;
  if (RequestLog::active()) {
    PlatformRequest r;
    r.kind = PlatformRequest::Kind::Write;
    r.handle = hFile;
    r.target = object ? target_of(object) : std::string();
    r.position = position;
    r.length = nNumberOfBytesToWrite;
    r.transferred = done;
    if (lpBuffer)
      r.data.assign(static_cast<const BYTE*>(lpBuffer), static_cast<const BYTE*>(lpBuffer) + nNumberOfBytesToWrite);
    r.result = ok;
    r.error = ok ? 0 : error;
    RequestLog::record(std::move(r));
  }
  detail::complete(failure(ok, error), [&] {
    return "WriteFile(" + detail::handle_text(hFile) + ", " + std::to_string(nNumberOfBytesToWrite) +
           ") = " + detail::bool_text(ok) + " at=" + std::to_string(position) + " written=" + std::to_string(done);
  });
  return ok;
}

namespace {
BOOL lock_call(const char* name, bool locking, HANDLE hFile, DWORD offLow, DWORD offHigh, DWORD lenLow, DWORD lenHigh) {
  auto object = lookup_handle(hFile);
  DWORD error = ERROR_SUCCESS;
  const std::uint64_t offset = join(offLow, offHigh), length = join(lenLow, lenHigh);
  if (FileObject* f = file_of(object, error)) {
    std::lock_guard lock(f->mutex);
    error = locking ? f->file->lock(offset, length) : f->file->unlock(offset, length);
  }
  const BOOL ok = error ? FALSE : TRUE;
  record(locking ? PlatformRequest::Kind::Lock : PlatformRequest::Kind::Unlock, hFile, object, ok, error, offset,
         length);
  detail::complete(failure(ok, error), [&] {
    return std::string(name) + "(" + detail::handle_text(hFile) + ", " + std::to_string(offset) + ", " +
           std::to_string(length) + ") = " + detail::bool_text(ok);
  });
  return ok;
}
}  // namespace

BOOL LockFile(HANDLE hFile, DWORD offLow, DWORD offHigh, DWORD lenLow, DWORD lenHigh) {
  return lock_call("LockFile", true, hFile, offLow, offHigh, lenLow, lenHigh);
}

BOOL UnlockFile(HANDLE hFile, DWORD offLow, DWORD offHigh, DWORD lenLow, DWORD lenHigh) {
  return lock_call("UnlockFile", false, hFile, offLow, offHigh, lenLow, lenHigh);
}

BOOL FlushFileBuffers(HANDLE hFile) {
  auto object = lookup_handle(hFile);
  DWORD error = ERROR_SUCCESS;
  if (FileObject* f = file_of(object, error)) {
    std::lock_guard lock(f->mutex);
    error = f->file->flush();
  }
  const BOOL ok = error ? FALSE : TRUE;
  record(PlatformRequest::Kind::Flush, hFile, object, ok, error);
  detail::complete(failure(ok, error),
                   [&] { return "FlushFileBuffers(" + detail::handle_text(hFile) + ") = " + detail::bool_text(ok); });
  return ok;
}

BOOL CloseHandle(HANDLE hObject) {
  auto object = remove_handle(hObject);
  const BOOL ok = object ? TRUE : FALSE;
  record(PlatformRequest::Kind::Close, hObject, object, ok, ERROR_INVALID_HANDLE);
  object.reset();
  detail::complete(failure(ok, ERROR_INVALID_HANDLE),
                   [&] { return "CloseHandle(" + detail::handle_text(hObject) + ") = " + detail::bool_text(ok); });
  return ok;
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize, LPVOID lpOutBuffer,
                     DWORD nOutBufferSize, DWORD* lpBytesReturned, LPVOID) {
  auto object = lookup_handle(hDevice);
  const bool logging = RequestLog::active();
  const bool tracing = trace_enabled();
  std::vector<BYTE> input;
  if ((logging || tracing) && lpInBuffer)
    input.assign(static_cast<const BYTE*>(lpInBuffer), static_cast<const BYTE*>(lpInBuffer) + nInBufferSize);
  std::vector<BYTE> packet;
  DWORD error = ERROR_SUCCESS, returned = 0;
  if (!object) {
    error = ERROR_INVALID_HANDLE;
  } else if (auto* service = dynamic_cast<Vwin32Connection*>(object.get())) {
    std::lock_guard lock(service->mutex);
    error = vwin32_control(*service, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize, returned,
                           &packet);
  } else if (auto* f = dynamic_cast<FileObject*>(object.get());
             f && f->file->kind() != FileKind::File && dwIoControlCode == IOCTL_DISK_GET_DRIVE_GEOMETRY) {
    std::lock_guard lock(f->mutex);
    if (!lpOutBuffer || nOutBufferSize < DISK_GEOMETRY_SIZE) {
      error = ERROR_INSUFFICIENT_BUFFER;
    } else {
      encode_disk_geometry(f->file->geometry(), lpOutBuffer);
      returned = DISK_GEOMETRY_SIZE;
    }
  } else {
    error = ERROR_INVALID_FUNCTION;
  }
  if (lpBytesReturned) *lpBytesReturned = returned;
  const BOOL ok = error ? FALSE : TRUE;
  if (logging) {
    PlatformRequest r;
    r.kind = PlatformRequest::Kind::Control;
    r.handle = hDevice;
    r.target = object ? target_of(object) : std::string();
    r.code = dwIoControlCode;
    r.input = input;
    if (lpOutBuffer)
      r.output.assign(static_cast<const BYTE*>(lpOutBuffer), static_cast<const BYTE*>(lpOutBuffer) + returned);
    r.packet = packet;
    r.length = nOutBufferSize;
    r.transferred = returned;
    r.result = ok;
    r.error = ok ? 0 : error;
    RequestLog::record(std::move(r));
  }
  detail::complete(failure(ok, error), [&] {
    std::string line = "DeviceIoControl(" + detail::handle_text(hDevice) + ", " + detail::hex(dwIoControlCode) +
                       ", in=" + record_text(lpInBuffer ? input.data() : nullptr, nInBufferSize) + ", " +
                       std::to_string(nInBufferSize) + ", " + std::to_string(nOutBufferSize) +
                       ") = " + detail::bool_text(ok);
    if (ok && lpOutBuffer) line += " out=" + record_text(lpOutBuffer, returned);
    if (!packet.empty()) line += " diskio=" + record_text(packet.data(), static_cast<DWORD>(packet.size()));
    return line;
  });
  return ok;
}

}  // namespace win
