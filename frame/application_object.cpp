#include "frame/application_object.h"

#include <array>

#include "frame/apartment.h"
#include "frame/library_info.h"
#include "frame/runtime_error.h"
#include "platform/ansi_code_page.h"
#include "platform/module_info.h"

namespace volumar {
namespace {

// Any address inside the library's image names its module.
const char kModuleAnchor = 0;

struct Property {
  const char16_t* name;
  Variant (*get)(const ApplicationObject&);
};

String text(const char* s) { return win::ansi_to_utf16(s); }

const std::array<Property, 12> kProperties{{
    {u"Title", [](const ApplicationObject& a) { return Variant(a.Title()); }},
    {u"Path", [](const ApplicationObject& a) { return Variant(a.Path()); }},
    {u"EXEName", [](const ApplicationObject& a) { return Variant(a.EXEName()); }},
    {u"Major", [](const ApplicationObject& a) { return Variant(a.Major()); }},
    {u"Minor", [](const ApplicationObject& a) { return Variant(a.Minor()); }},
    {u"Revision", [](const ApplicationObject& a) { return Variant(a.Revision()); }},
    {u"CompanyName", [](const ApplicationObject&) { return Variant(text(kCompanyName)); }},
    {u"ProductName", [](const ApplicationObject&) { return Variant(text(kProductName)); }},
    {u"FileDescription", [](const ApplicationObject&) { return Variant(text(kLibraryDescription)); }},
    {u"LegalCopyright", [](const ApplicationObject&) { return Variant(text(kLegalCopyright)); }},
    {u"LegalTrademarks", [](const ApplicationObject&) { return Variant(text(kLegalTrademarks)); }},
    {u"Comments", [](const ApplicationObject&) { return Variant(text(kComments)); }},
}};

// The file name without its extension; a shared object's ".so" and any
// version after it count as the extension.
String file_stem(const std::string& file) {
  std::string stem = file;
  if (auto so = stem.find(".so"); so != std::string::npos && (so + 3 == stem.size() || stem[so + 3] == '.'))
    stem.resize(so);
  else if (auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
    stem.resize(dot);
  return win::ansi_to_utf16(stem);
}

struct AppState {
  ObjectRef app;
};

}  // namespace

const Integer ApplicationObject::kMajor = kLibraryVersionMajor;
const Integer ApplicationObject::kMinor = kLibraryVersionMinor;
const Integer ApplicationObject::kRevision = kLibraryRevision;

std::string library_file_path() {
  win::HMODULE module = nullptr;
  if (!win::GetModuleHandleExA(
          win::GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | win::GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          &kModuleAnchor, &module))
    return {};
  std::string buffer(260, '\0');
  for (;;) {
    win::DWORD n = win::GetModuleFileNameA(module, buffer.data(), static_cast<win::DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return buffer.substr(0, n);
    buffer.assign(buffer.size() * 2, '\0');
  }
}

ApplicationObject::ApplicationObject() : title_(text(kApplicationTitle)) {
  const std::string file = library_file_path();
  const auto sep = file.find_last_of("/\\");
  if (sep == std::string::npos) {
    exe_name_ = file_stem(file);
    return;
  }
  // The folder without a trailing separator, except for a root folder.
  path_ = win::ansi_to_utf16(file.substr(0, sep == 0 ? 1 : sep));
  exe_name_ = file_stem(file.substr(sep + 1));
}

std::optional<win::DISPID> ApplicationObject::GetIDsOfNames(std::u16string_view name) {
  for (std::size_t i = 0; i < kProperties.size(); ++i)
    if (win::names_equal(kProperties[i].name, name)) return static_cast<win::DISPID>(i + 1);
  return std::nullopt;
}

Variant ApplicationObject::Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>& args) {
  if (id < 1 || id > static_cast<win::DISPID>(kProperties.size()) ||
      !(kind & (win::DISPATCH_PROPERTYGET | win::DISPATCH_METHOD)))
    raise_error(win::kErrNotSupported);
  if (!args.empty()) raise_error(win::kErrWrongArgumentCount);
  return kProperties[static_cast<std::size_t>(id - 1)].get(*this);
}

ObjectRef application_object() {
  auto& state = apartment_state<AppState>();
  if (!state.app) state.app = std::make_shared<ApplicationObject>();
  return state.app;
}

}  // namespace volumar
