// The geometry of the machine's physical drives and the system's texts for
// error codes.
#pragma once
#include <string>

#include "platform/device_records.h"
#include "platform/win_types.h"

namespace volumar {

// The geometry of an open physical drive; zeros for INVALID_HANDLE_VALUE or
// a request that fails.
win::DISK_GEOMETRY GetDriveGeometry(win::HANDLE drive);

// The system's message for the code, or "unknown error".
std::string GetSystemErrorText(win::LONG& error);

}  // namespace volumar
