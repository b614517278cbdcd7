// Kill's deletion over the real DeleteFileA.
// The platform headers come first: <windows.h> defines ERROR_* as macros.
#include "platform/scripting/runtime_host.h"

#include <string>

#include <windows.h>

namespace win {

// DeleteFileA matches folders too; Kill deletes files only.
DWORD delete_file(const std::string& win_path) {
  const ::DWORD attributes = ::GetFileAttributesA(win_path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 2;  // ERROR_FILE_NOT_FOUND; the name is a macro here
  return ::DeleteFileA(win_path.c_str()) ? 0 : ::GetLastError();
}

}  // namespace win
