// Scripting.FileSystemObject and its drive objects.
#include "platform/scripting/file_system_object.h"

#include <memory>

#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/host_file.h"
#include "platform/trace.h"
#include "platform/win_path.h"

namespace win {
namespace {

enum : DISPID { kPath = DISPID_VALUE, kDriveLetter = 1, kDriveType = 2, kIsReady = 3 };
enum : DISPID { kGetDrive = 1, kDriveExists = 2 };

struct Name {
  const char16_t* text;
  DISPID id;
};

std::optional<DISPID> find_name(std::u16string_view name, std::initializer_list<Name> names) {
  for (const Name& n : names)
    if (names_equal(name, n.text)) return n.id;
  return std::nullopt;
}

[[noreturn]] void raise_component_error(std::int32_t number) { raise_error(number, {}, kScriptingErrorSource); }

// Members here are read-only properties and methods: a get or a call, with
// exactly `count` arguments given.
void check_call(DispatchKind kind, const std::vector<Variant>& args, std::size_t count) {
  if (!(kind & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) raise_component_error(kErrNotSupported);
  if (args.size() > count) raise_component_error(kErrWrongArgumentCount);
  for (std::size_t i = 0; i < count; ++i)
    if (i >= args.size() || args[i].is_missing()) raise_component_error(kErrNotOptional);
}

// The letter of "C", "C:", "C:\" or "C:/"; 0 for anything else.
char drive_name_letter(std::u16string_view mapping) {
  if (mapping.empty() || mapping.size() > 3 || mapping[0] > 0x7F) return 0;
  char letter = drive_letter(static_cast<char>(mapping[0]));
  if (!letter) return 0;
  if (mapping.size() >= 2 && mapping[1] != u':') return 0;
  if (mapping.size() == 3 && mapping[2] != u'\\' && mapping[2] != u'/') return 0;
  return letter;
}

}  // namespace

std::u16string ScriptingDrive::DriveLetter() const { return std::u16string(1, static_cast<char16_t>(letter_)); }

std::u16string ScriptingDrive::Path() const { return DriveLetter() + u":"; }

std::int32_t ScriptingDrive::DriveType() const {
  auto mapping = DriveMap::find(letter_);
  DriveTypeConst type = DriveTypeConst::UnknownType;
  if (mapping) {
    switch (mapping->type) {
      case win::DriveType::Removable: type = DriveTypeConst::Removable; break;
      case win::DriveType::Fixed: type = DriveTypeConst::Fixed; break;
      case win::DriveType::Remote: type = DriveTypeConst::Remote; break;
      case win::DriveType::CDRom: type = DriveTypeConst::CDRom; break;
      case win::DriveType::RAMDisk: type = DriveTypeConst::RamDisk; break;
    }
  }
  return static_cast<std::int32_t>(type);
}

bool ScriptingDrive::IsReady() const {
  std::unique_ptr<HostFile> volume;
  const DWORD error = open_volume(letter_, GENERIC_READ, volume);
  if (trace_enabled())
    trace("Drive(\"" + std::string(1, letter_) +
          ":\").IsReady = " + (error ? "False error=" + std::to_string(error) : "True"));
  return error == ERROR_SUCCESS;
}

std::optional<DISPID> ScriptingDrive::GetIDsOfNames(std::u16string_view name) {
  return find_name(
      name, {{u"Path", kPath}, {u"DriveLetter", kDriveLetter}, {u"DriveType", kDriveType}, {u"IsReady", kIsReady}});
}

Variant ScriptingDrive::Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) {
  switch (id) {
    case kPath: check_call(kind, args, 0); return Path();
    case kDriveLetter: check_call(kind, args, 0); return DriveLetter();
    case kDriveType: check_call(kind, args, 0); return DriveType();
    case kIsReady: check_call(kind, args, 0); return IsReady();
    default: raise_component_error(kErrNotSupported);
  }
}

ObjectRef FileSystemObject::GetDrive(std::u16string_view drive_name) const {
  const char letter = drive_name_letter(drive_name);
  const bool mapped = letter && DriveMap::find(letter).has_value();
  if (trace_enabled())
    trace("FileSystemObject.GetDrive(\"" + utf16_to_ansi(drive_name) + "\")" +
          (mapped   ? ""
           : letter ? " = Device unavailable"
                    : " = Invalid procedure call or argument"));
  if (!letter) raise_component_error(kErrInvalidProcedureCall);
  if (!mapped) raise_component_error(kErrDeviceUnavailable);
  return std::make_shared<ScriptingDrive>(letter);
}

bool FileSystemObject::DriveExists(std::u16string_view drive_name) const {
  const char letter = drive_name_letter(drive_name);
  return letter && DriveMap::find(letter).has_value();
}

std::optional<DISPID> FileSystemObject::GetIDsOfNames(std::u16string_view name) {
  return find_name(name, {{u"GetDrive", kGetDrive}, {u"DriveExists", kDriveExists}});
}

Variant FileSystemObject::Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) {
  auto text = [&] { return to_string(args[0].deref()); };
  switch (id) {
    case kGetDrive: check_call(kind, args, 1); return GetDrive(text());
    case kDriveExists: check_call(kind, args, 1); return DriveExists(text());
    default: raise_component_error(kErrNotSupported);
  }
}

void register_scripting_classes() {
  register_class_object({kFileSystemObjectProgId, kFileSystemObjectClsid,
                         [] { return ObjectRef(std::make_shared<FileSystemObject>()); }});
}

void revoke_scripting_classes() { revoke_class_object(kFileSystemObjectProgId); }

}  // namespace win
