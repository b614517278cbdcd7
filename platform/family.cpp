// The reported platform family and GetVersionExA.
#include "platform/family.h"

#include <atomic>
#include <cstring>
#include <sstream>

#include "platform/call_trace.h"

namespace win {
namespace {
std::atomic<Family> g_family{Family::NT};
std::atomic<DWORD> g_failure{0};
}  // namespace

void set_family(Family f) { g_family = f; }
Family family() { return g_family; }
bool is_nt_family() { return g_family == Family::NT; }
void set_get_version_failure(DWORD error) { g_failure = error; }

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  const bool nt = is_nt_family();
  DWORD size = info ? info->dwOSVersionInfoSize : 0;
  DWORD error = g_failure;
  if (!error && (!info || (size != sizeof(OSVERSIONINFOA) && !(nt && size == sizeof(OSVERSIONINFOEXA)))))
    error = ERROR_INVALID_PARAMETER;
  if (!error) {
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0, size - sizeof(DWORD));
    if (nt) {
      info->dwMajorVersion = 5;
      info->dwMinorVersion = 1;
      info->dwBuildNumber = 2600;
      info->dwPlatformId = VER_PLATFORM_WIN32_NT;
      std::strcpy(info->szCSDVersion, "Service Pack 3");
      if (size == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(info);
        ex->wServicePackMajor = 3;
        ex->wProductType = 1;  // a workstation
      }
    } else {
      info->dwMajorVersion = 4;
      info->dwMinorVersion = 10;
      info->dwBuildNumber = 0x040A08AE;
      info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
      std::strcpy(info->szCSDVersion, " A ");
    }
  }
  BOOL ok = error ? FALSE : TRUE;
  detail::complete(error ? std::optional<DWORD>(error) : std::nullopt, [&] {
    std::ostringstream s;
    s << "GetVersionExA(" << size << ") = " << detail::bool_text(ok);
    if (ok)
      s << " platform=" << info->dwPlatformId << " version=" << info->dwMajorVersion << '.' << info->dwMinorVersion;
    return s.str();
  });
  return ok;
}

}  // namespace win
