#include "platform/user32/message_pump.h"

#include <mutex>

namespace win {
namespace {
std::mutex g_mutex;
MessagePump g_pump;
}  // namespace

void set_message_pump(MessagePump pump) {
  std::lock_guard lock(g_mutex);
  g_pump = std::move(pump);
}

void DoEvents() {
  MessagePump pump;
  {
    std::lock_guard lock(g_mutex);
    pump = g_pump;
  }
  if (pump) pump();
}

}  // namespace win
