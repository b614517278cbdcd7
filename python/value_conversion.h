// Automation values to Python values and back: the one place where the
// frame's Variant meets Python's types.
#pragma once
#include <pybind11/pybind11.h>

#include <memory>

#include "platform/automation/variant.h"

namespace volumar_python {

namespace py = pybind11;

// A by-reference argument's variable (volumar10.Ref): the member writes it.
struct RefCell {
  win::Variant value;
};

// Integer, Long and Byte become int, Boolean bool, Double float, String str,
// byte arrays bytes, objects a volumar10 object (Nothing None); Empty, Null
// and the missing marker None.
py::object to_python(const win::Variant& value);

// None is Empty, bool Boolean, int Long (Double beyond Long's range, where
// the member then raises Overflow), float Double, str String, bytes and
// bytearray a byte array, a list or tuple a new Collection of its items,
// volumar10.Missing an omitted argument, volumar10.Nothing the object
// reference to no object, a Ref its variable by reference.
// Anything else raises TypeError.
win::Variant from_python(py::handle value);

// UTF-16 with unpaired surrogates kept, as automation strings may hold them.
py::str to_python_string(std::u16string_view text);
std::u16string from_python_string(py::handle text);

// Provided by the object binding: an automation object as a Python object
// and back (nullptr for a Python value that is no automation object).
py::object wrap_object(win::ObjectRef object);
win::ObjectRef unwrap_object(py::handle value);
// The volumar10.Missing and volumar10.Nothing markers.
py::handle missing_marker();
py::handle nothing_marker();

}  // namespace volumar_python
