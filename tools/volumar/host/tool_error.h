// Errors that end a volumar command, with the exit status they give.
#pragma once
#include <stdexcept>
#include <string>

namespace volumar_tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

class ToolError : public std::runtime_error {
 public:
  ToolError(int exit_code, const std::string& message) : std::runtime_error(message), exit_code_(exit_code) {}
  int exit_code() const { return exit_code_; }

 private:
  int exit_code_;
};

// The operation failed (exit status 1).
[[noreturn]] inline void fail(const std::string& message) { throw ToolError(kExitFailed, message); }
// The command line asks for something impossible (exit status 2).
[[noreturn]] inline void usage_error(const std::string& message) { throw ToolError(kExitUsage, message); }

}  // namespace volumar_tool
