#include "platform/virtual_memory.h"

#include <sys/mman.h>

#include <map>
#include <mutex>

#include "platform/last_error.h"

namespace win {
namespace {

// mmap needs the length back at release; Windows remembers it for us.
std::mutex regions_mutex;
std::map<void*, std::size_t>& regions() {
  static std::map<void*, std::size_t> sizes;
  return sizes;
}

}  // namespace

LPVOID VirtualAlloc(LPVOID address, std::size_t size, DWORD allocation_type, DWORD protect) {
  if (address || size == 0 || allocation_type != (MEM_COMMIT | MEM_RESERVE) || protect != PAGE_READWRITE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::lock_guard lock(regions_mutex);
  regions()[p] = size;
  return p;
}

BOOL VirtualFree(LPVOID address, std::size_t size, DWORD free_type) {
  std::size_t length = 0;
  {
    std::lock_guard lock(regions_mutex);
    auto it = regions().find(address);
    if (it == regions().end() || size != 0 || free_type != MEM_RELEASE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    length = it->second;
    regions().erase(it);
  }
  ::munmap(address, length);
  return TRUE;
}

}  // namespace win
