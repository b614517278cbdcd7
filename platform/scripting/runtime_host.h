// The one call of the script runtime's statements that each side of the
// platform seam makes its own way: the POSIX side over the drive map, the
// Windows side (native/platform) over the real system.
#pragma once
#include <string>

#include "platform/win_types.h"

namespace win {

// Deletes the file at a Windows path as DeleteFileA does, files only (a
// folder gives ERROR_FILE_NOT_FOUND, as Kill matches files only): the
// system error code, 0 once the file is gone.
DWORD delete_file(const std::string& win_path);

}  // namespace win
