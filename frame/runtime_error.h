// Run-time errors of the library: the automation error with the runtime's
// numbers and texts.
#pragma once
#include "platform/automation/automation_error.h"

namespace volumar {

using RuntimeError = win::AutomationError;
using win::raise_error;

}  // namespace volumar
