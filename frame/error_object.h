// The runtime's Err object for one run-time error, as handed to the
// companion's error handler: Number, Description, Source, LastDllError.
#pragma once
#include "frame/automation_object.h"
#include "frame/runtime_error.h"

namespace volumar {

class ErrObject : public win::Object {
 public:
  explicit ErrObject(const RuntimeError& error);

  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override;
  Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<Variant>& args) override;
  std::u16string type_name() const override { return u"ErrObject"; }

  Long number() const { return number_; }
  const String& description() const { return description_; }
  const String& source() const { return source_; }
  Long last_dll_error() const { return last_dll_error_; }

 private:
  Long number_;
  String description_;
  String source_;
  Long last_dll_error_;
};

}  // namespace volumar
