#include "platform/user32/message_box.h"

#include <mutex>

#include "platform/trace.h"

namespace win {
namespace {
std::mutex g_mutex;
MessageBoxSink g_sink;
}  // namespace

void set_message_box_sink(MessageBoxSink sink) {
  std::lock_guard lock(g_mutex);
  g_sink = std::move(sink);
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  MessageBoxRequest request{text ? text : "", caption ? caption : "Error", type};
  MessageBoxSink sink;
  {
    std::lock_guard lock(g_mutex);
    sink = g_sink;
  }
  int answer = sink ? sink(request) : default_button(type);
  if (trace_enabled())
    trace("MessageBoxA(\"" + request.caption + "\", \"" + request.text + "\", " + std::to_string(type) +
          ") = " + std::to_string(answer));
  return answer;
}

}  // namespace win
