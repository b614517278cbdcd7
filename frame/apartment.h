// Per-apartment module state. An apartment is a thread: every thread that
// uses the library gets its own instance of each piece of state, created at
// its first use there and kept for the thread's lifetime.
#pragma once

namespace volumar {

template <class State>
State& apartment_state() {
  thread_local State state{};
  return state;
}

}  // namespace volumar
