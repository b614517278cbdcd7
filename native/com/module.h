// This DLL's module handle, from DllMain.
#pragma once
#include <windows.h>

namespace volumar::native {

HMODULE module_handle();

}  // namespace volumar::native
