#include "platform/failed_call.h"

#include <mutex>

namespace win {
namespace {

std::mutex g_mutex;
FailedCall g_last;

}  // namespace

FailedCall last_failed_call() {
  std::lock_guard lock(g_mutex);
  return g_last;
}

void detail::note_failed_call(std::string name, DWORD error) {
  std::lock_guard lock(g_mutex);
  g_last = {std::move(name), error, g_last.serial + 1};
}

}  // namespace win
