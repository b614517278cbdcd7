// The script runtime's file statements over kernel32's file calls, the
// same on both sides of the platform seam; Kill's deletion is each side's
// own (runtime_host.h).
#include "platform/scripting/runtime_files.h"

#include <map>
#include <string>

#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/error_codes.h"
#include "platform/kernel32_files.h"
#include "platform/last_error.h"
#include "platform/scripting/runtime_host.h"
#include "platform/trace.h"

namespace win {
namespace {

constexpr std::int32_t kErrTooManyFiles = 67;
constexpr std::int32_t kErrDiskNotReady = 71;
constexpr int kMaxFreeFile = 255;  // FreeFile hands out the lower range only

struct OpenFiles {
  std::map<int, HANDLE> handles;
  ~OpenFiles() {
    for (auto& [number, handle] : handles) CloseHandle(handle);
  }
};

OpenFiles& open_files() {
  thread_local OpenFiles files;
  return files;
}

[[noreturn]] void raise_runtime(std::int32_t number, DWORD system_error) {
  SetLastError(system_error);
  raise_error(number, number == kErrTooManyFiles ? "Too many files" : std::string());
}

[[noreturn]] void raise_system(DWORD system_error) { raise_runtime(runtime_error_number(system_error), system_error); }

HANDLE handle_of(int file_number) {
  auto& handles = open_files().handles;
  auto it = handles.find(file_number);
  if (it == handles.end()) raise_runtime(kErrBadFileNameOrNumber, ERROR_INVALID_HANDLE);
  return it->second;
}

}  // namespace

std::int32_t runtime_error_number(DWORD system_error) {
  switch (system_error) {
    case ERROR_FILE_NOT_FOUND: return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND: return kErrPathNotFound;
    case ERROR_TOO_MANY_OPEN_FILES: return kErrTooManyFiles;
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: return kErrBadFileNameOrNumber;
    case ERROR_NOT_ENOUGH_MEMORY: return kErrOutOfMemory;
    case ERROR_INVALID_DRIVE: return kErrDeviceUnavailable;
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return kErrPermissionDenied;
    case ERROR_NOT_READY: return kErrDiskNotReady;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: return kErrDeviceIoError;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return kErrFileAlreadyExists;
    case ERROR_DISK_FULL: return kErrDiskFull;
    case ERROR_INVALID_PARAMETER: return kErrInvalidProcedureCall;
    default: return kErrPathFileAccess;
  }
}

int FreeFile() {
  const auto& handles = open_files().handles;
  for (int n = 1; n <= kMaxFreeFile; ++n)
    if (!handles.contains(n)) return n;
  raise_runtime(kErrTooManyFiles, ERROR_TOO_MANY_OPEN_FILES);
}

void FileOpen(int file_number, std::u16string_view path, OpenMode mode) {
  if (file_number < 1 || file_number > kMaxFileNumber) raise_runtime(kErrBadFileNameOrNumber, ERROR_INVALID_HANDLE);
  auto& handles = open_files().handles;
  if (handles.contains(file_number)) raise_runtime(kErrFileAlreadyOpen, ERROR_SUCCESS);
  if (path.empty()) raise_runtime(kErrBadFileNameOrNumber, ERROR_INVALID_NAME);
  const std::string name = utf16_to_ansi(path);
  const DWORD disposition = mode == OpenMode::Output ? CREATE_ALWAYS : OPEN_ALWAYS;
  HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) raise_system(GetLastError());
  if (mode == OpenMode::Append) {
    LONG high = 0;
    if (SetFilePointer(h, 0, &high, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      raise_system(error);
    }
  }
  handles.emplace(file_number, h);
}

void PrintLine(int file_number, std::u16string_view text) {
  HANDLE h = handle_of(file_number);
  const std::string line = utf16_to_ansi(text) + "\r\n";
  std::size_t written = 0;
  while (written < line.size()) {
    DWORD done = 0;
    if (!WriteFile(h, line.data() + written, static_cast<DWORD>(line.size() - written), &done, nullptr))
      raise_system(GetLastError());
    if (done == 0) raise_runtime(kErrDiskFull, ERROR_DISK_FULL);
    written += done;
  }
}

void FileClose(int file_number) {
  auto& handles = open_files().handles;
  auto it = handles.find(file_number);
  if (it == handles.end()) return;
  HANDLE h = it->second;
  handles.erase(it);
  CloseHandle(h);
}

void FileClose() {
  auto& handles = open_files().handles;
  while (!handles.empty()) FileClose(handles.begin()->first);
}

void Kill(std::u16string_view path) {
  const std::string name = utf16_to_ansi(path);
  const DWORD error = path.empty() ? ERROR_INVALID_NAME : delete_file(name);
  if (trace_enabled()) trace("Kill(\"" + name + "\")" + (error ? " error=" + std::to_string(error) : std::string()));
  if (error) raise_system(error);
  SetLastError(ERROR_SUCCESS);
}

}  // namespace win
