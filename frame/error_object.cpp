#include "frame/error_object.h"

#include "platform/ansi_code_page.h"

namespace volumar {
namespace {
enum : win::DISPID { kNumber = 0, kSource = 1, kDescription = 2, kLastDllError = 3 };
}

ErrObject::ErrObject(const RuntimeError& error)
    : number_(error.number()),
      description_(win::ansi_to_utf16(error.description())),
      source_(win::ansi_to_utf16(error.source())),
      last_dll_error_(static_cast<Long>(error.last_error())) {}

std::optional<win::DISPID> ErrObject::GetIDsOfNames(std::u16string_view name) {
  if (win::names_equal(name, u"Number")) return kNumber;
  if (win::names_equal(name, u"Source")) return kSource;
  if (win::names_equal(name, u"Description")) return kDescription;
  if (win::names_equal(name, u"LastDllError")) return kLastDllError;
  return std::nullopt;
}

Variant ErrObject::Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>&) {
  if (!(kind & (win::DISPATCH_PROPERTYGET | win::DISPATCH_METHOD))) raise_error(win::kErrNotSupported);
  switch (id) {
    case kNumber: return number_;
    case kSource: return source_;
    case kDescription: return description_;
    case kLastDllError: return last_dll_error_;
    default: raise_error(win::kErrNotSupported);
  }
}

}  // namespace volumar
