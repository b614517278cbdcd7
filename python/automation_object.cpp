// The Python face of win::Object. A library class gets a Python type of its
// own, derived from volumar10.Object, whose docstring is its member table,
// so that help() and dir() show the surface; other objects (Collection, the
// script file-system objects) use the base and resolve names at call time.
#include "python/automation_object.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "frame/automation_object.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/variant_conversion.h"
#include "platform/utf8.h"
#include "python/value_conversion.h"

namespace volumar_python {
namespace {

struct Handle {
  win::ObjectRef object;
};

struct PyObjectData {
  win::ObjectRef object;
  const volumar::ClassInfo* info = nullptr;  // nullptr: no member table known
};

// A method, or a property that takes arguments, of one object.
struct BoundMember {
  win::ObjectRef object;
  win::DISPID id;
  win::DispatchKind kind;
  std::string name;
};

const volumar::ClassInfo* class_of(const win::ObjectRef& object) {
  const auto* own = dynamic_cast<const volumar::AutomationObject*>(object.get());
  return own ? &own->class_info() : nullptr;
}

// What a name stands for in a member table, get/put pairs taken together.
struct Entry {
  std::string name;  // as the table spells it
  win::DISPID get_id = 0, put_id = 0, method_id = 0;
  bool get = false, put = false, putref = false, method = false;
  bool get_takes_arguments = false;
  const volumar::MemberInfo* shown = nullptr;  // the get or the method
};

std::vector<Entry> table_entries(const volumar::ClassInfo& info) {
  std::vector<Entry> out;
  for (const volumar::MemberInfo& m : info.members()) {
    auto at = std::find_if(out.begin(), out.end(), [&](const Entry& e) { return win::names_equal(e.name, m.name); });
    if (at == out.end()) at = out.insert(out.end(), Entry{m.name});
    switch (m.kind) {
      case volumar::MemberKind::Get:
        at->get = true, at->get_id = m.id, at->shown = &m;
        at->get_takes_arguments = !m.params.empty();
        break;
      case volumar::MemberKind::Put: at->put = true, at->put_id = m.id; break;
      case volumar::MemberKind::PutRef: at->putref = true, at->put_id = m.id; break;
      case volumar::MemberKind::Method: at->method = true, at->method_id = m.id, at->shown = &m; break;
    }
  }
  return out;
}

// Every attribute access asks: each table is grouped once.
const std::vector<Entry>& entries_of(const volumar::ClassInfo& info) {
  static std::map<const volumar::ClassInfo*, std::vector<Entry>> grouped;
  auto [at, fresh] = grouped.try_emplace(&info);
  if (fresh) at->second = table_entries(info);
  return at->second;
}

std::optional<Entry> find_entry(const volumar::ClassInfo& info, std::string_view name) {
  for (const Entry& e : entries_of(info))
    if (win::names_equal(e.name, name)) return e;
  return std::nullopt;
}

std::string utf8(std::u16string_view text) { return win::utf16_to_utf8(text); }

std::string signature(const volumar::MemberInfo& m) {
  std::string out = std::string(m.name) + "(";
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    const volumar::ParamDesc& p = m.params[i];
    out += (i ? ", " : "") + std::string(p.optional ? "[" : "") + p.name + " As " + p.type.name;
    if (p.by_ref) out += " ByRef";
    if (p.default_value) out += " = " + utf8(win::to_string(*p.default_value));
    if (p.optional) out += "]";
  }
  out += ")";
  if (m.result.vt != win::VarType::Empty || *m.result.name) out += std::string(" As ") + m.result.name;
  return out;
}

std::string class_doc(const volumar::ClassInfo& info) {
  std::string properties, methods;
  for (const Entry& e : entries_of(info)) {
    if (e.method) {
      methods += "    " + signature(*e.shown) + "\n";
      continue;
    }
    std::string kinds = std::string(e.get ? "get" : "") + (e.put ? (e.get ? ", put" : "put") : "") +
                        (e.putref ? (e.get || e.put ? ", putref" : "putref") : "");
    const char* type = e.shown ? e.shown->result.name : "";
    properties +=
        "    " + (e.get_takes_arguments ? signature(*e.shown) : e.name + " As " + type) + "  (" + kinds + ")\n";
  }
  return info.progid() + ": the library's class " + info.name +
         ".\n\nProperties are attributes (a put is an assignment; an object assigned is a putref);\n"
         "methods are called with their arguments in order (volumar10.Missing skips an\n"
         "optional one, a volumar10.Ref receives a ByRef one). Names are matched without case.\n\nProperties:\n" +
         properties + "\nMethods:\n" + methods;
}

win::Variant invoke(const win::ObjectRef& object, win::DISPID id, win::DispatchKind kind,
                    std::vector<win::Variant>& args) {
  win::Variant result = object->Invoke(id, kind, args);
  return result.is_ref() ? win::Variant(result.deref()) : result;
}

py::object call_member(const BoundMember& m, const py::args& args) {
  std::vector<win::Variant> values;
  values.reserve(args.size());
  for (py::handle a : args) values.push_back(from_python(a));
  return to_python(invoke(m.object, m.id, m.kind, values));
}

[[noreturn]] void no_member(const PyObjectData& self, const std::string& name, const char* why) {
  throw py::attribute_error(utf8(self.object->type_name()) + " " + why + " '" + name + "'");
}

py::object get_attribute(const PyObjectData& self, const std::string& name) {
  // Python's own probes (pydoc, copy, pickle) are no members.
  if (name.size() > 4 && name.starts_with("__") && name.ends_with("__")) no_member(self, name, "has no attribute");
  std::vector<win::Variant> none;
  if (self.info) {
    const auto e = find_entry(*self.info, name);
    if (!e) no_member(self, name, "has no member");
    if (e->method) return py::cast(BoundMember{self.object, e->method_id, win::DISPATCH_METHOD, e->name});
    if (!e->get) no_member(self, name, "has only a put of");
    if (e->get_takes_arguments)
      return py::cast(BoundMember{self.object, e->get_id, win::DISPATCH_PROPERTYGET, e->name});
    return to_python(invoke(self.object, e->get_id, win::DISPATCH_PROPERTYGET, none));
  }
  const auto id = self.object->GetIDsOfNames(win::utf8_to_utf16(name));
  if (!id) no_member(self, name, "has no member");
  // Without a table, a member that wants arguments is a method to call.
  try {
    return to_python(invoke(self.object, *id, win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET, none));
  } catch (const win::AutomationError& e) {
    if (e.number() != win::kErrNotOptional && e.number() != win::kErrWrongArgumentCount) throw;
  }
  return py::cast(BoundMember{self.object, *id, win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET, name});
}

void set_attribute(const PyObjectData& self, const std::string& name, py::handle value) {
  std::vector<win::Variant> args{from_python(value)};
  const bool object = args[0].is_object();
  if (self.info) {
    const auto e = find_entry(*self.info, name);
    if (!e) no_member(self, name, "has no member");
    if (!e->put && !e->putref) no_member(self, name, "cannot assign");
    const bool by_ref = e->putref && (object || !e->put);
    invoke(self.object, e->put_id, by_ref ? win::DISPATCH_PROPERTYPUTREF : win::DISPATCH_PROPERTYPUT, args);
    return;
  }
  const auto id = self.object->GetIDsOfNames(win::utf8_to_utf16(name));
  if (!id) no_member(self, name, "has no member");
  invoke(self.object, *id, object ? win::DISPATCH_PROPERTYPUTREF : win::DISPATCH_PROPERTYPUT, args);
}

// Collections: Count and Item by dispatch, so any object that has them is one.
std::int32_t count_of(const PyObjectData& self) {
  const auto id = self.object->GetIDsOfNames(u"Count");
  if (!id) throw py::type_error(utf8(self.object->type_name()) + " is no collection (it has no Count)");
  std::vector<win::Variant> none;
  return win::to_long(invoke(self.object, *id, win::DISPATCH_PROPERTYGET, none));
}

// Python positions count from 0 (negative from the end); a slice is a
// list; a text is a key.
py::object item_of(const PyObjectData& self, py::handle index) {
  win::Variant key;
  if (PySlice_Check(index.ptr())) {
    std::size_t start, stop, step, length;
    if (!py::reinterpret_borrow<py::slice>(index).compute(count_of(self), &start, &stop, &step, &length))
      throw py::error_already_set();
    py::list items;
    for (std::size_t i = 0; i < length; ++i, start += step) items.append(item_of(self, py::int_(start)));
    return items;
  }
  if (PyLong_Check(index.ptr())) {
    const std::int32_t count = count_of(self);
    long long i = index.cast<long long>();
    if (i < 0) i += count;
    if (i < 0 || i >= count) throw py::index_error("collection index out of range");
    key = static_cast<std::int32_t>(i + 1);
  } else {
    key = from_python(index);
  }
  std::vector<win::Variant> args{key};
  return to_python(win::invoke_by_name(self.object, u"Item", win::DISPATCH_METHOD | win::DISPATCH_PROPERTYGET, args));
}

py::handle base_type;
std::map<const volumar::ClassInfo*, py::handle> class_types;  // owned for the process's life

py::handle type_for(const volumar::ClassInfo* info) {
  if (!info) return base_type;
  auto [at, fresh] = class_types.try_emplace(info);
  if (fresh) {
    py::dict members;
    members["__doc__"] = class_doc(*info);
    members["__module__"] = "volumar10";
    members["__slots__"] = py::tuple();
    at->second = py::module_::import("builtins").attr("type")(info->name, py::make_tuple(base_type), members).release();
  }
  return at->second;
}

}  // namespace

py::object wrap_object(win::ObjectRef object) { return type_for(class_of(object))(Handle{std::move(object)}); }

win::ObjectRef unwrap_object(py::handle value) {
  return py::isinstance<PyObjectData>(value) ? value.cast<const PyObjectData&>().object : nullptr;
}

void bind_automation_objects(py::module_& m) {
  py::class_<Handle>(m, "_Handle");

  py::class_<BoundMember>(m, "Method", "A member of an automation object, bound to it: call it with the arguments.")
      .def("__call__", &call_member)
      .def("__repr__", [](const BoundMember& b) {
        return "<volumar10 member " + b.name + " of " + utf8(b.object->type_name()) + ">";
      });

  py::class_<RefCell>(m, "Ref",
                      "A variable passed by reference: the member reads .value and may set it.\n"
                      "r = volumar10.Ref(volumar10.Nothing); d.ChangeCollectionItem(rows, 2, text, r); r.value")
      .def(py::init([](py::handle value) { return RefCell{win::Variant(from_python(value).deref())}; }),
           py::arg("value") = py::none())
      .def_property(
          "value", [](const RefCell& r) { return to_python(r.value); },
          [](RefCell& r, py::handle value) { r.value = win::Variant(from_python(value).deref()); })
      .def("__repr__",
           [](const RefCell& r) { return "volumar10.Ref(" + py::repr(to_python(r.value)).cast<std::string>() + ")"; });

  py::class_<PyObjectData> object(
      m, "Object",
      "An automation object: members by name as attributes (properties) and calls (methods).\n"
      "A collection (an object with Count and Item) is also a sequence: len(c), c[0] (from 0),\n"
      "c['KEY'] by key, for x in c. volumar10.Dispatch(progid) creates one.");
  base_type = object;
  object.def(py::init([](const Handle& h) {
          return PyObjectData{h.object, class_of(h.object)};
        }))
      .def("__getattr__", &get_attribute)
      .def("__setattr__", &set_attribute)
      .def("__dir__",
           [](py::object self) {
             py::list names = py::module_::import("builtins").attr("object").attr("__dir__")(self);
             if (const auto* info = self.cast<const PyObjectData&>().info)
               for (const Entry& e : entries_of(*info)) names.append(e.name);
             return names;
           })
      .def("__len__", &count_of)
      .def("__getitem__", &item_of)
      .def("__iter__",
           [](const PyObjectData& self) {
             py::list items;
             for (std::int32_t i = 0, n = count_of(self); i < n; ++i) items.append(item_of(self, py::int_(i)));
             return py::iter(items);
           })
      .def("__bool__", [](const PyObjectData&) { return true; })
      .def("__eq__",
           [](const PyObjectData& self, py::handle other) {
             return py::isinstance<PyObjectData>(other) && other.cast<const PyObjectData&>().object == self.object;
           })
      .def("__hash__", [](const PyObjectData& self) { return std::hash<win::Object*>()(self.object.get()); })
      .def("__repr__",
           [](const PyObjectData& self) { return "<volumar10 " + utf8(self.object->type_name()) + " object>"; });
}

}  // namespace volumar_python
