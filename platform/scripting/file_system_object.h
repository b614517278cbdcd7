// The script file-system component "Scripting.FileSystemObject" over the
// drive map: GetDrive and DriveExists, and the drive object's IsReady,
// DriveLetter, Path and DriveType. Clients reach it by name through
// dispatch, as a script does.
//
// Availability: the component is registered with the class objects from
// start-up in every program that links the script runtime's file statements
// (runtime_files.h), as an installed system has it. A host may withdraw it
// with revoke_scripting_classes() (creation then raises 429) and offer it
// again with register_scripting_classes().
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/dispatch.h"

namespace win {

inline constexpr const char* kFileSystemObjectProgId = "Scripting.FileSystemObject";
inline constexpr const char* kFileSystemObjectClsid = "{0D43FE01-F093-11CF-8940-00A0C9054228}";

// Scripting's DriveTypeConst, the values of Drive.DriveType.
enum class DriveTypeConst : std::int32_t {
  UnknownType = 0,
  Removable = 1,
  Fixed = 2,
  Remote = 3,
  CDRom = 4,
  RamDisk = 5,
};

// Errors of the component carry this source.
inline constexpr const char* kScriptingErrorSource = "Scripting.FileSystemObject";

// A drive of the drive map. Its properties are read from the map when
// asked, so a drive that goes away or comes back shows it.
class ScriptingDrive : public Object {
 public:
  explicit ScriptingDrive(char letter) : letter_(letter) {}

  char letter() const { return letter_; }
  std::u16string DriveLetter() const;  // "C"
  std::u16string Path() const;         // "C:", the default member
  std::int32_t DriveType() const;      // UnknownType once the letter is unmapped
  // True when the drive's raw volume opens for reading.
  bool IsReady() const;

  std::optional<DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"Drive"; }

 private:
  char letter_;
};

class FileSystemObject : public Object {
 public:
  // "C", "C:" or "C:\" (either case, '/' too). A letter the drive map does
  // not name raises 68 (Device unavailable); any other text raises 5.
  ObjectRef GetDrive(std::u16string_view drive_name) const;
  // False for any text GetDrive would refuse.
  bool DriveExists(std::u16string_view drive_name) const;

  std::optional<DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(DISPID id, DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"FileSystemObject"; }
};

// Offers (withdraws) "Scripting.FileSystemObject" in the class objects.
void register_scripting_classes();
void revoke_scripting_classes();

}  // namespace win
