// Variant <-> Python, as one visitor one way and one chain of checks back.
#include "python/value_conversion.h"

#include <limits>

#include "platform/automation/collection.h"
#include "platform/automation/variant_visit.h"

namespace volumar_python {
namespace {

struct ToPython {
  py::object operator()(std::monostate) const { return py::none(); }
  py::object operator()(win::Variant::NullValue) const { return py::none(); }
  py::object operator()(win::Variant::MissingValue) const { return py::none(); }
  py::object operator()(std::int16_t v) const { return py::int_(v); }
  py::object operator()(std::int32_t v) const { return py::int_(v); }
  py::object operator()(std::uint8_t v) const { return py::int_(v); }
  py::object operator()(bool v) const { return py::bool_(v); }
  py::object operator()(double v) const { return py::float_(v); }
  py::object operator()(const std::u16string& v) const { return to_python_string(v); }
  py::object operator()(const win::ObjectRef& v) const { return v ? wrap_object(v) : py::none(); }
  py::object operator()(const win::Bytes& v) const {
    return py::bytes(reinterpret_cast<const char*>(v.data()), v.size());
  }
};

win::Variant from_int(py::handle value) {
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (overflow == 0 && n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max())
    return static_cast<std::int32_t>(n);
  return PyLong_AsDouble(value.ptr());  // inf past double's range: still an overflow for the member
}

}  // namespace

py::str to_python_string(std::u16string_view text) {
  int little_endian = -1;
  PyObject* s = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(text.data()),
                                      static_cast<Py_ssize_t>(text.size() * 2), "surrogatepass", &little_endian);
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

std::u16string from_python_string(py::handle text) {
  PyObject* encoded = PyUnicode_AsEncodedString(text.ptr(), "utf-16-le", "surrogatepass");
  if (!encoded) throw py::error_already_set();
  const py::bytes bytes = py::reinterpret_steal<py::bytes>(encoded);
  const std::string_view raw = bytes;
  std::u16string out(raw.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] =
        static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) | static_cast<unsigned char>(raw[2 * i + 1]) << 8);
  return out;
}

py::object to_python(const win::Variant& value) { return win::visit(value, ToPython{}); }

win::Variant from_python(py::handle value) {
  if (value.is_none()) return {};
  if (value.is(missing_marker())) return win::Variant::missing();
  if (value.is(nothing_marker())) return win::ObjectRef();
  if (py::isinstance<RefCell>(value)) return win::Variant::ref(value.cast<RefCell&>().value);
  // bool before int: True is an int to Python.
  if (PyBool_Check(value.ptr())) return value.ptr() == Py_True;
  if (PyLong_Check(value.ptr())) return from_int(value);
  if (PyFloat_Check(value.ptr())) return PyFloat_AsDouble(value.ptr());
  if (PyUnicode_Check(value.ptr())) return from_python_string(value);
  if (PyBytes_Check(value.ptr())) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(value.ptr()));
    return win::Bytes(data, data + PyBytes_GET_SIZE(value.ptr()));
  }
  if (PyByteArray_Check(value.ptr())) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(PyByteArray_AS_STRING(value.ptr()));
    return win::Bytes(data, data + PyByteArray_GET_SIZE(value.ptr()));
  }
  if (win::ObjectRef object = unwrap_object(value)) return object;
  if (PyList_Check(value.ptr()) || PyTuple_Check(value.ptr())) {
    auto collection = win::Collection::create();
    for (py::handle item : value) collection->Add(from_python(item));
    return collection;
  }
  throw py::type_error(std::string("no automation value for a Python ") + Py_TYPE(value.ptr())->tp_name);
}

}  // namespace volumar_python
