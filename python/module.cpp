// import volumar10: the library's classes by ProgID, its run-time errors as
// volumar10.Error, and the host's settings the CLI takes as options (drive
// map, family, registry store, read-only, disks) with its message boxes
// collected for the caller instead of shown.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/drive_map.h"
#include "platform/family.h"
#include "platform/registry/registry.h"
#include "platform/user32/message_box.h"
#include "python/automation_object.h"
#include "python/value_conversion.h"
#include "server/class_registry.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_python {
namespace {

struct Marker {
  std::string name;
};

py::handle error_type;
py::handle missing_object;
py::handle nothing_object;
std::vector<win::MessageBoxRequest> shown_boxes;

py::str ansi_text(const std::string& text) { return to_python_string(win::ansi_to_utf16(text)); }

void raise_automation_error(const win::AutomationError& e) {
  const std::string& own = e.description();
  const py::str description = ansi_text(own.empty() ? win::error_description(e.number()) : own);
  py::object error =
      py::reinterpret_borrow<py::object>(error_type)(py::str("error {}: {}").format(e.number(), description));
  error.attr("number") = e.number();
  error.attr("description") = description;
  error.attr("source") = ansi_text(e.source());
  error.attr("last_error") = e.last_error();
  PyErr_SetObject(error_type.ptr(), error.ptr());
}

char drive_letter(const std::string& text) {
  if (!volumar_tool::is_drive_letter_text(text)) throw py::value_error("not a drive letter: '" + text + "'");
  return static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
}

void map_drive(const std::string& letter_text, const std::filesystem::path& path, bool read_only, std::uint64_t offset,
               std::optional<std::uint64_t> length, std::optional<int> partition,
               std::optional<std::filesystem::path> folder, std::optional<std::string> type) {
  const char letter = drive_letter(letter_text);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    errno = ENOENT;
    PyErr_SetFromErrnoWithFilename(PyExc_FileNotFoundError, path.c_str());
    throw py::error_already_set();
  }
  volumar_tool::require_image_or_device(path.string(), "map_drive");
  win::VolumeMapping volume;
  volume.path = path.string();
  volume.read_only = read_only;
  if (partition) {
    if (offset || length) throw py::value_error("partition= sets the offset and length: give one or the other");
    volumar_tool::map_partition(volume, *partition);
  } else {
    if (offset) volume.offset = offset;
    volume.length = length;
  }
  if (folder) volume.folder = folder->string();
  if (type) volume.type = volumar_tool::parse_drive_type(*type);
  win::DriveMap::map(letter, std::move(volume));
}

void use_registry(std::optional<std::filesystem::path> path) {
  if (!path) return win::registry_use_memory();
  if (!win::registry_use_file(*path)) throw py::value_error("cannot open the registry store " + path->string());
}

py::list message_boxes() {
  py::list out;
  for (const win::MessageBoxRequest& box : shown_boxes)
    out.append(py::make_tuple(ansi_text(box.text), ansi_text(box.caption), box.style));
  shown_boxes.clear();
  return out;
}

}  // namespace

py::handle missing_marker() { return missing_object; }
py::handle nothing_marker() { return nothing_object; }

}  // namespace volumar_python

PYBIND11_MODULE(volumar10, m) {
  namespace py = pybind11;
  using namespace volumar_python;
  m.doc() =
      "Volumar10's automation classes by ProgID: volumar10.Dispatch('Volumar10.clsQzVolmDrwA').\n"
      "Map a drive first (volumar10.map_drive('C', 'floppy.img')); message boxes the library\n"
      "shows are collected, answered with their first button, and read with message_boxes().";

  volumar::register_class_objects();
  // A box must never wait for a user the Python caller cannot see.
  win::set_message_box_sink([](const win::MessageBoxRequest& box) {
    shown_boxes.push_back(box);
    return win::default_button(box.style);
  });

  error_type = PyErr_NewExceptionWithDoc(
      "volumar10.Error",
      "A run-time error of the library: .number (5, 9, 13, 429, ...), .description, .source, .last_error.",
      PyExc_Exception, nullptr);
  m.add_object("Error", error_type);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const win::AutomationError& e) {
      raise_automation_error(e);
    } catch (const volumar_tool::ToolError& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });

  py::class_<Marker>(m, "_Marker").def("__repr__", [](const Marker& marker) { return "volumar10." + marker.name; });
  // Missing skips an optional argument; Nothing is an object variable set to no object.
  m.attr("Missing") = Marker{"Missing"};
  m.attr("Nothing") = Marker{"Nothing"};
  missing_object = m.attr("Missing");
  nothing_object = m.attr("Nothing");

  bind_automation_objects(m);

  m.def(
      "Dispatch", [](const std::string& progid) { return wrap_object(win::create_object(progid)); }, py::arg("progid"),
      "Creates the class registered under the ProgID (error 429 when there is none).");
  m.def(
      "classes",
      [] {
        std::vector<std::string> out;
        for (const volumar::ClassInfo* info : volumar::library_classes()) out.push_back(info->progid());
        return out;
      },
      "The ProgIDs of the library's creatable classes.");
  m.def("map_drive", &map_drive, py::arg("letter"), py::arg("path"), py::arg("read_only") = false,
        py::arg("offset") = 0, py::arg("length") = py::none(), py::arg("partition") = py::none(),
        py::arg("folder") = py::none(), py::arg("type") = py::none(),
        "Maps a drive letter to an image file or block device: a byte range of it (offset, length)\n"
        "or partition N of a whole disk; folder is what 'L:\\' names for file operations; type is\n"
        "Removable, Fixed, Remote, CDRom or RAMDisk.");
  m.def(
      "unmap_drive", [](const std::string& letter) { win::DriveMap::unmap(drive_letter(letter)); }, py::arg("letter"));
  m.def(
      "set_family",
      [](const std::string& family) {
        if (family != "nt" && family != "9x") throw py::value_error("family: 'nt' or '9x'");
        win::set_family(family == "9x" ? win::Family::Win9x : win::Family::NT);
      },
      py::arg("family"), "Which Windows family the library sees: 'nt' (the default) or '9x'.");
  m.def("use_registry", &use_registry, py::arg("path") = py::none(),
        "The registry store: a file (created when missing), or None for a fresh one in memory.");
  m.def(
      "set_read_only", [](bool read_only) { win::DriveMap::set_read_only(read_only); }, py::arg("read_only") = true,
      "Opens every volume read-only: writes fail and nothing changes.");
  m.def(
      "set_physical_drives",
      [](std::optional<std::vector<std::string>> paths) {
        if (paths)
          win::DriveMap::set_physical_drives(std::move(*paths));
        else
          win::DriveMap::use_system_physical_drives();
      },
      py::arg("paths"), "The whole disks behind \\\\.\\PHYSICALDRIVE0, 1, ...; None for the machine's own.");
  m.def("message_boxes", &message_boxes,
        "The message boxes shown since the last call, as (text, caption, style), and forgets them.");
}
