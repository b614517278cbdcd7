// The last platform call that failed, for a host that wants to name it in
// its own message ("WriteFile failed: ...") after a library member reported
// no more than that it failed.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win_types.h"

namespace win {

struct FailedCall {
  std::string name;          // "WriteFile"
  DWORD error = 0;           // the last-error value it left
  std::uint64_t serial = 0;  // how many calls had failed by then; 0: none yet
};

FailedCall last_failed_call();

namespace detail {
void note_failed_call(std::string name, DWORD error);
}  // namespace detail

}  // namespace win
