// An automation error as a caller of a component sees it: the runtime's
// error number, description, source, and the platform's last error.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/win_types.h"

namespace win {

// Error numbers that callers of automation components know.
enum ErrorNumber : std::int32_t {
  kErrInvalidProcedureCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscriptOutOfRange = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrBadFileNameOrNumber = 52,
  kErrFileNotFound = 53,
  kErrBadFileMode = 54,
  kErrFileAlreadyOpen = 55,
  kErrDeviceIoError = 57,
  kErrFileAlreadyExists = 58,
  kErrDiskFull = 61,
  kErrPermissionDenied = 70,
  kErrDeviceUnavailable = 68,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectNotSet = 91,
  kErrResourceNotFound = 326,
  kErrCannotCreateObject = 429,
  kErrNotSupported = 438,
  kErrNotOptional = 449,
  kErrWrongArgumentCount = 450,
  kErrKeyAlreadyAssociated = 457,
};

// The runtime's standard text for an error number ("Application-defined or
// object-defined error" for numbers it does not know).
std::string error_description(std::int32_t number);

class AutomationError : public std::runtime_error {
 public:
  AutomationError(std::int32_t number, std::string description = {}, std::string source = {}, DWORD last_error = 0);

  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }
  DWORD last_error() const { return last_error_; }
  void set_source(std::string source) { source_ = std::move(source); }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
  DWORD last_error_;
};

// Raises the error with the runtime's description unless one is given.
[[noreturn]] void raise_error(std::int32_t number, std::string description = {}, std::string source = {});

}  // namespace win
