// The platform's message boxes and message loop on Windows: boxes go to the
// real MessageBoxA unless a host installed a sink (a headless test must not
// wait for a click); DoEvents runs the thread's real message queue.
#include <mutex>
#include <utility>

#include "platform/user32/message_box.h"
#include "platform/user32/message_pump.h"

#include <windows.h>

namespace {

std::mutex sink_mutex;
win::MessageBoxSink installed_sink;
win::MessagePump installed_pump;

}  // namespace

namespace win {

void set_message_box_sink(MessageBoxSink sink) {
  std::lock_guard lock(sink_mutex);
  installed_sink = std::move(sink);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  MessageBoxSink sink;
  {
    std::lock_guard lock(sink_mutex);
    sink = installed_sink;
  }
  if (sink) return sink(MessageBoxRequest{text ? text : "", caption ? caption : "", type});
  return ::MessageBoxA(static_cast<::HWND>(owner), text, caption, type);
}

void set_message_pump(MessagePump pump) { installed_pump = std::move(pump); }

void DoEvents() {
  ::MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  if (installed_pump) installed_pump();
}

}  // namespace win
