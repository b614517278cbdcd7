#include "platform/automation/automation_error.h"

#include "platform/last_error.h"

namespace win {

std::string error_description(std::int32_t number) {
  switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 68: return "Device unavailable";
    case 70: return "Permission denied";
    case 71: return "Disk not ready";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 326: return "Resource with identifier not found";
    case 429: return "ActiveX component can't create object";
    case 438: return "Object doesn't support this property or method";
    case 445: return "Object doesn't support this action";
    case 449: return "Argument not optional";
    case 450: return "Wrong number of arguments or invalid property assignment";
    case 457: return "This key is already associated with an element of this collection";
    default: return "Application-defined or object-defined error";
  }
}

AutomationError::AutomationError(std::int32_t number, std::string description, std::string source, DWORD last_error)
    : std::runtime_error(description.empty() ? error_description(number) : description),
      number_(number),
      description_(description.empty() ? error_description(number) : std::move(description)),
      source_(std::move(source)),
      last_error_(last_error) {}

void raise_error(std::int32_t number, std::string description, std::string source) {
  throw AutomationError(number, std::move(description), std::move(source), GetLastError());
}

}  // namespace win
