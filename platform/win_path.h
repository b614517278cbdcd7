// The one parser of Windows-style paths: device names (\\.\C:, \\.\PHYSICALDRIVEn,
// \\.\VWIN32), drive paths (C:\dir\file, C:file), paths without a drive.
// Components come back normalised: "." dropped, ".." removed with its
// predecessor and never climbing above a root, as the system does.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace win {

enum class PathKind {
  Invalid,        // empty, or a name with characters no file name may hold
  Volume,         // \\.\C:
  PhysicalDrive,  // \\.\PHYSICALDRIVEn
  Vwin32,         // \\.\VWIN32
  OtherDevice,    // any other \\.\ name
  Drive,          // C:\dir\file (rooted) or C:dir (drive-relative, whose directory is the root)
  Relative,       // dir\file: relative to the current directory
  Rooted,         // \dir\file: the root of a current drive the platform does not have
  Unc,            // \\server\share
};

struct WinPath {
  PathKind kind = PathKind::Invalid;
  char letter = 0;      // upper-case drive letter of Volume and Drive
  unsigned number = 0;  // PhysicalDrive
  bool rooted = false;  // Drive: a backslash follows the colon
  std::vector<std::string> components;
  DWORD error = 0;  // Invalid: ERROR_INVALID_NAME or ERROR_PATH_NOT_FOUND
};

// '/' is a separator as well as '\'; device names compare without case.
WinPath parse_win_path(std::string_view path);

// Upper-case letter for 'a'..'z'/'A'..'Z', else 0.
char drive_letter(char c);

}  // namespace win
