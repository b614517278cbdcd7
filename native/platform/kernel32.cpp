// The platform's kernel32 calls on Windows: each goes to the real system.
// The platform headers come first: <windows.h> defines TRUE, ERROR_* and
// the like as macros, which would rewrite the platform's own constants.
#include <atomic>
#include <mutex>
#include <set>
#include <string_view>

#include "platform/family.h"
#include "platform/file_mapping.h"
#include "platform/format_message.h"
#include "platform/kernel32_files.h"
#include "platform/last_error.h"
#include "platform/module_info.h"
#include "platform/sleep.h"
#include "platform/virtual_memory.h"
#include "platform/volume_information.h"

#include <windows.h>

namespace {

// The real DWORD and LONG are `unsigned long` and `long`: the same width as
// the platform's, but distinct types, so pointers need a cast.
::DWORD* real(win::DWORD* p) { return reinterpret_cast<::DWORD*>(p); }
::LONG* real(win::LONG* p) { return reinterpret_cast<::LONG*>(p); }

std::atomic<long> open_handles{0};

// Handles of volumes and disks (\\.\ names), which may refuse byte-range
// locks: Wine's do, with an error that is no conflict.
std::mutex device_mutex;
std::set<HANDLE> device_handles;

bool is_device(HANDLE h) {
  std::lock_guard lock(device_mutex);
  return device_handles.contains(h);
}

// A lock the system cannot take on a device is granted without one: the
// real system's exclusion for volumes is FSCTL_LOCK_VOLUME, not ranges.
BOOL granted_on_device(HANDLE h, BOOL ok) {
  if (ok || !is_device(h)) return ok;
  const ::DWORD error = ::GetLastError();
  if (error == ERROR_LOCK_VIOLATION || error == ERROR_NOT_LOCKED) return ok;
  ::SetLastError(ERROR_SUCCESS);
  return 1;
}

}  // namespace

namespace win {

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPVOID security, DWORD disposition, DWORD flags,
                   HANDLE template_file) {
  HANDLE h = ::CreateFileA(name, access, share, static_cast<LPSECURITY_ATTRIBUTES>(security), disposition, flags,
                           template_file);
  if (h != INVALID_HANDLE_VALUE) {
    ++open_handles;
    if (name && std::string_view(name).starts_with("\\\\.\\")) {
      std::lock_guard lock(device_mutex);
      device_handles.insert(h);
    }
  }
  return h;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method) {
  return ::SetFilePointer(file, distance, real(high), method);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, DWORD* done, LPVOID overlapped) {
  return ::ReadFile(file, buffer, size, real(done), static_cast<LPOVERLAPPED>(overlapped));
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, DWORD* done, LPVOID overlapped) {
  return ::WriteFile(file, buffer, size, real(done), static_cast<LPOVERLAPPED>(overlapped));
}

BOOL LockFile(HANDLE file, DWORD low, DWORD high, DWORD count_low, DWORD count_high) {
  return granted_on_device(file, ::LockFile(file, low, high, count_low, count_high));
}

BOOL UnlockFile(HANDLE file, DWORD low, DWORD high, DWORD count_low, DWORD count_high) {
  const BOOL ok = ::UnlockFile(file, low, high, count_low, count_high);
  // A range granted without a lock is released without one.
  if (!ok && is_device(file) && ::GetLastError() == ERROR_NOT_LOCKED) {
    ::SetLastError(ERROR_SUCCESS);
    return 1;
  }
  return granted_on_device(file, ok);
}

BOOL FlushFileBuffers(HANDLE file) { return ::FlushFileBuffers(file); }

BOOL CloseHandle(HANDLE object) {
  const BOOL ok = ::CloseHandle(object);
  if (ok) {
    --open_handles;
    std::lock_guard lock(device_mutex);
    device_handles.erase(object);
  }
  return ok;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD in_size, LPVOID out, DWORD out_size, DWORD* returned,
                     LPVOID overlapped) {
  return ::DeviceIoControl(device, code, in, in_size, out, out_size, real(returned),
                           static_cast<LPOVERLAPPED>(overlapped));
}

// Counts the handles this module opened, which is what callers ask about.
std::size_t open_handle_count() {
  const long n = open_handles.load();
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

DWORD GetLastError() { return ::GetLastError(); }
void SetLastError(DWORD code) { ::SetLastError(code); }

HMODULE GetModuleHandleA(LPCSTR name) { return ::GetModuleHandleA(name); }
BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* module) {
  return ::GetModuleHandleExA(flags, name, reinterpret_cast<::HMODULE*>(module));
}
DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
  return ::GetModuleFileNameA(static_cast<::HMODULE>(module), name, size);
}
HMODULE LoadLibraryA(LPCSTR name) { return ::LoadLibraryA(name); }
BOOL FreeLibrary(HMODULE module) { return ::FreeLibrary(static_cast<::HMODULE>(module)); }

LPVOID VirtualAlloc(LPVOID address, std::size_t size, DWORD type, DWORD protect) {
  return ::VirtualAlloc(address, size, type, protect);
}
BOOL VirtualFree(LPVOID address, std::size_t size, DWORD type) { return ::VirtualFree(address, size, type); }

HANDLE CreateFileMappingA(HANDLE file, LPVOID attributes, DWORD protect, DWORD size_high, DWORD size_low, LPCSTR name) {
  return ::CreateFileMappingA(file, static_cast<LPSECURITY_ATTRIBUTES>(attributes), protect, size_high, size_low, name);
}
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, std::size_t size) {
  return ::MapViewOfFile(mapping, access, offset_high, offset_low, size);
}
BOOL UnmapViewOfFile(LPCVOID address) { return ::UnmapViewOfFile(address); }

void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

BOOL GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD label_size, DWORD* serial, DWORD* max_component,
                           DWORD* flags, LPSTR fs_name, DWORD fs_name_size) {
  return ::GetVolumeInformationA(root, label, label_size, real(serial), real(max_component), real(flags), fs_name,
                                 fs_name_size);
}
UINT GetDriveTypeA(LPCSTR root) { return ::GetDriveTypeA(root); }

DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer, DWORD size, void* arguments) {
  return ::FormatMessageA(flags, source, id, language, buffer, size, static_cast<va_list*>(arguments));
}

const char* system_message_text(DWORD code) {
  thread_local char text[512];
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof text, nullptr);
  return n ? text : nullptr;
}

// The real system is of the NT family; the 9x family does not exist here.
void set_family(Family) {}
Family family() { return Family::NT; }
bool is_nt_family() { return true; }
void set_get_version_failure(DWORD) {}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  static_assert(sizeof(OSVERSIONINFOA) == sizeof(::OSVERSIONINFOA));
  return ::GetVersionExA(reinterpret_cast<::OSVERSIONINFOA*>(info));
}

}  // namespace win
