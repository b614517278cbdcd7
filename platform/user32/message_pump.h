// The calling thread's message loop: a long operation yields to it so that
// the host can redraw or show progress.
#pragma once
#include <functional>

namespace win {

using MessagePump = std::function<void()>;

void set_message_pump(MessagePump pump);
// Runs the host's pump once (the runtime's DoEvents); nothing without one.
void DoEvents();

}  // namespace win
