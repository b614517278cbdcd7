// clsQzVolumarA's members over the application object, the library file's
// resources, the companion's about box and the system's module list.
#include <string>

#include "frame/application_object.h"
#include "frame/companion_calls.h"
#include "frame/failure_conventions.h"
#include "frame/root_object.h"
#include "frame/root_object_resources.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/variant_conversion.h"
#include "platform/module_info.h"

namespace volumar {
namespace {

constexpr win::DWORD kModuleFileNameBuffer = 206;

[[noreturn]] void raise_resource_not_found(Long id) {
  raise_error(win::kErrResourceNotFound, "Resource with identifier '" + std::to_string(id) + "' not found");
}

}  // namespace

ObjectRef clsQzVolumarA::get_GetProStdProperties() { return application_object(); }

String clsQzVolumarA::get_GetProResStrings(Long& lResId) { raise_resource_not_found(lResId); }

PictureRef clsQzVolumarA::get_GetProResPicture(Long& lResId, LoadResConstants& lRestype) {
  const Integer kind = win::to_integer(Variant(static_cast<Long>(lRestype)));
  static_cast<void>(kind);
  raise_resource_not_found(lResId);
}

Variant clsQzVolumarA::get_GetProResData(Long& lResId, Variant& vRestype) {
  ResourceType type;
  if (vRestype.type() == win::VarType::String)
    type.name = vRestype.string_value();
  else
    type.number = win::to_long(vRestype);
  auto bytes = find_library_resource(type, lResId);
  if (!bytes) raise_resource_not_found(lResId);
  return Variant(std::move(*bytes));
}

Long clsQzVolumarA::About() {
  AppAboutQzco_Pro();
  return 0;
}

String clsQzVolumarA::GetModuleFileName_Volm(String& sFileName) {
  String result;
  std::string buffer;
  win::HMODULE module = nullptr;
  resume_next([&] { buffer.assign(kModuleFileNameBuffer, ' '); });
  resume_next([&] { module = win::GetModuleHandleA(win::utf16_to_ansi(sFileName).c_str()); });
  // The size passed never exceeds the buffer actually made.
  resume_next([&] { win::GetModuleFileNameA(module, buffer.data(), static_cast<win::DWORD>(buffer.size())); });
  resume_next([&] { result = win::ansi_to_utf16(buffer); });
  return result;
}

}  // namespace volumar
