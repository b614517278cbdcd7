// Windows-style path parsing.
#include "platform/win_path.h"

#include <cctype>

namespace win {
namespace {

bool is_sep(char c) { return c == '\\' || c == '/'; }

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool valid_component(std::string_view c) {
  for (char ch : c) {
    unsigned char u = static_cast<unsigned char>(ch);
    if (u < 32 || std::string_view("<>:\"|?*").find(ch) != std::string_view::npos) return false;
  }
  return true;
}

// Splits and normalises; false on a component no name may be.
bool split(std::string_view rest, bool keep_leading_dotdot, std::vector<std::string>& out) {
  std::size_t i = 0;
  while (i <= rest.size()) {
    std::size_t j = i;
    while (j < rest.size() && !is_sep(rest[j])) ++j;
    std::string_view c = rest.substr(i, j - i);
    if (c.empty() || c == ".") {
    } else if (c == "..") {
      if (!out.empty() && out.back() != "..")
        out.pop_back();
      else if (keep_leading_dotdot)
        out.emplace_back("..");
    } else {
      if (!valid_component(c)) return false;
      // The system drops trailing dots and spaces of a name.
      std::size_t end = c.size();
      while (end > 0 && (c[end - 1] == '.' || c[end - 1] == ' ')) --end;
      if (end == 0) return false;
      out.emplace_back(c.substr(0, end));
    }
    i = j + 1;
  }
  return true;
}

WinPath invalid(DWORD error) {
  WinPath p;
  p.error = error;
  return p;
}

WinPath drive_path(char letter, std::string_view rest) {
  WinPath p;
  p.kind = PathKind::Drive;
  p.letter = letter;
  p.rooted = !rest.empty() && is_sep(rest[0]);
  if (!split(rest, false, p.components)) return invalid(ERROR_INVALID_NAME);
  return p;
}

WinPath device_path(std::string_view name) {
  WinPath p;
  if (name.size() >= 2 && drive_letter(name[0]) && name[1] == ':') {
    if (name.size() == 2) {
      p.kind = PathKind::Volume;
      p.letter = drive_letter(name[0]);
      return p;
    }
    if (is_sep(name[2])) return drive_path(drive_letter(name[0]), name.substr(2));
    return invalid(ERROR_INVALID_NAME);
  }
  constexpr std::string_view physical = "PHYSICALDRIVE";
  if (name.size() > physical.size() && iequals(name.substr(0, physical.size()), physical)) {
    std::string_view digits = name.substr(physical.size());
    bool ok = digits.size() <= 9 && (digits.size() == 1 || digits[0] != '0');
    unsigned n = 0;
    for (char c : digits) {
      if (!std::isdigit(static_cast<unsigned char>(c))) ok = false;
      n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (ok) {
      p.kind = PathKind::PhysicalDrive;
      p.number = n;
      return p;
    }
  }
  if (iequals(name, "VWIN32")) {
    p.kind = PathKind::Vwin32;
    return p;
  }
  if (name.empty()) return invalid(ERROR_INVALID_NAME);
  p.kind = PathKind::OtherDevice;
  p.components.emplace_back(name);
  return p;
}

}  // namespace

char drive_letter(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return c;
  return 0;
}

WinPath parse_win_path(std::string_view path) {
  if (path.empty()) return invalid(ERROR_PATH_NOT_FOUND);
  if (path.size() >= 4 && is_sep(path[0]) && is_sep(path[1]) && (path[2] == '.' || path[2] == '?') && is_sep(path[3]))
    return device_path(path.substr(4));
  if (path.size() >= 2 && is_sep(path[0]) && is_sep(path[1])) {
    WinPath p;
    p.kind = PathKind::Unc;
    if (!split(path.substr(2), false, p.components)) return invalid(ERROR_INVALID_NAME);
    return p;
  }
  if (path.size() >= 2 && path[1] == ':') {
    char letter = drive_letter(path[0]);
    if (!letter) return invalid(ERROR_INVALID_NAME);
    return drive_path(letter, path.substr(2));
  }
  WinPath p;
  p.kind = is_sep(path[0]) ? PathKind::Rooted : PathKind::Relative;
  if (!split(path, p.kind == PathKind::Relative, p.components)) return invalid(ERROR_INVALID_NAME);
  return p;
}

}  // namespace win
