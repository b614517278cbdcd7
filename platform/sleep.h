// kernel32's Sleep: the calling thread waits.
#pragma once
#include "platform/win_types.h"

namespace win {

void Sleep(DWORD milliseconds);

}  // namespace win
