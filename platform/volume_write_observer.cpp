#include "platform/volume_write_observer.h"

#include <mutex>

#include "platform/error_codes.h"

namespace win {
namespace {

std::mutex g_mutex;
VolumeWriteObserver& observer() {
  static VolumeWriteObserver o;
  return o;
}

}  // namespace

void set_volume_write_observer(VolumeWriteObserver o) {
  std::lock_guard lock(g_mutex);
  observer() = std::move(o);
}

bool has_volume_write_observer() {
  std::lock_guard lock(g_mutex);
  return static_cast<bool>(observer());
}

DWORD observe_volume_write(const VolumeWrite& write) {
  VolumeWriteObserver o;
  {
    std::lock_guard lock(g_mutex);
    o = observer();
  }
  return o ? o(write) : ERROR_SUCCESS;
}

}  // namespace win
