// Automation objects as Python objects: members by name as attributes and
// calls, collections as sequences, the class's member table as its help.
#pragma once
#include <pybind11/pybind11.h>

#include "platform/automation/dispatch.h"

namespace volumar_python {

namespace py = pybind11;

// Adds volumar10.Object (the base of every class's Python type), the method
// type and Ref to the module.
void bind_automation_objects(py::module_& module);

}  // namespace volumar_python
