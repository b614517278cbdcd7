#include "frame/companion_calls.h"

#include "frame/application_object.h"
#include "frame/error_object.h"
#include "frame/failure_conventions.h"
#include "platform/automation/class_objects.h"

namespace volumar {

void ErrorHandlerMessageQz_Pro(const RuntimeError& error, std::string_view source) {
  ObjectRef handler = win::create_object(kCompanionErrorHandlerProgId);
  Variant app{application_object()};
  Variant err{ObjectRef(std::make_shared<ErrObject>(error))};
  Variant empty1{String()}, source_text{S(source)}, zero1{Long{0}}, empty2{String()}, zero2{Long{0}};
  std::vector<Variant> args{Variant::ref(app),   Variant::ref(err),    Variant::ref(empty1), Variant::ref(source_text),
                            Variant::ref(zero1), Variant::ref(empty2), Variant::ref(zero2),  Variant::missing()};
  win::invoke_by_name(handler, u"ErrorHandlerMessageQz", win::DISPATCH_METHOD, args);
}

void AppAboutQzco_Pro() {
  static const std::string source = std::string("basQzcoCommonA") + ".AppAboutQzco_Pro";
  ObjectRef about;
  report_and_continue(source, [&] { about = win::create_object(kCompanionAboutProgId); });
  report_and_continue(source, [&] { win::call_method(about, u"AppAboutQzco", {Variant(application_object())}); });
  report_and_continue(source, [&] { about.reset(); });
}

void report_runtime_error(const RuntimeError& error, std::string_view source) {
  RuntimeError with_source = error;
  if (with_source.source().empty()) with_source.set_source(std::string(source));
  ErrorHandlerMessageQz_Pro(with_source, source);
}

}  // namespace volumar
