// The library's application object, one per apartment: title, folder and
// file name of the loaded library file, version numbers and version texts.
#pragma once
#include <string>

#include "frame/value_types.h"

namespace volumar {

// The title shown as caption of the library's message boxes.
inline constexpr const char* kApplicationTitle = "Volumar10";

// Version texts of the library file, as its version record carries them.
inline constexpr int kLibraryRevision = 0;
inline constexpr const char* kCompanyName = "Volumar10 project";
inline constexpr const char* kProductName = "Volumar10";
inline constexpr const char* kLegalCopyright = "Copyright (c) Volumar10 project";
inline constexpr const char* kLegalTrademarks = "";
inline constexpr const char* kComments = "Sector-level tools for FAT12, FAT16 and FAT32 volumes";

// The calling apartment's application object, created at its first use there.
ObjectRef application_object();

// The full path of the file that holds the library's code (the shared
// library, or the program it is linked into), in the ANSI code page; empty
// when the system cannot tell.
std::string library_file_path();

// Title, Path, EXEName, Major, Minor, Revision, CompanyName, ProductName,
// FileDescription, LegalCopyright, LegalTrademarks, Comments: read-only.
class ApplicationObject : public win::Object {
 public:
  ApplicationObject();

  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"App"; }

  const String& Title() const { return title_; }
  const String& Path() const { return path_; }
  const String& EXEName() const { return exe_name_; }
  Integer Major() const { return kMajor; }
  Integer Minor() const { return kMinor; }
  Integer Revision() const { return kRevision; }

 private:
  static const Integer kMajor, kMinor, kRevision;
  String title_, path_, exe_name_;
};

}  // namespace volumar
