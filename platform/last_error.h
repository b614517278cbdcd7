// The thread's last-error value, set in one place by every entry point.
#pragma once
#include "platform/win_types.h"

namespace win {

DWORD GetLastError();
void SetLastError(DWORD code);

}  // namespace win
