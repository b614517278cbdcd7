#include "frame/companion/qzcommon10.h"

#include "frame/companion_calls.h"
#include "frame/dispatch_binding.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/class_objects.h"
#include "platform/user32/message_box.h"

namespace volumar {
namespace {

std::string ansi(const String& s) { return win::utf16_to_ansi(s); }

// Late-bound reads, as the companion sees an object it did not make.
String text_property(const ObjectRef& object, std::u16string_view name) {
  return win::to_string(win::get_property(object, name));
}

}  // namespace

clsQzCommon10A::clsQzCommon10A() : AutomationObject(class_info_static()) {}
clsQzcoErrorHandlerA::clsQzcoErrorHandlerA() : AutomationObject(class_info_static()) {}

const ClassInfo& clsQzCommon10A::class_info_static() {
  static const ClassInfo info{
      "clsQzCommon10A",
      "_clsQzCommon10A",
      "{5B0A3E61-2C47-4D8E-9F13-7A6C2E9B4D10}",
      "{5B0A3E62-2C47-4D8E-9F13-7A6C2E9B4D10}",
      []() -> const std::vector<MemberInfo>& {
        static const std::vector<MemberInfo> members{
            method<&clsQzCommon10A::AppAboutQzco>("AppAboutQzco", 0x60030000, {{"oApp"}}),
        };
        return members;
      },
      [] { return ObjectRef(std::make_shared<clsQzCommon10A>()); },
  };
  return info;
}

const ClassInfo& clsQzcoErrorHandlerA::class_info_static() {
  static const ClassInfo info{
      "clsQzcoErrorHandlerA",
      "_clsQzcoErrorHandlerA",
      "{5B0A3E63-2C47-4D8E-9F13-7A6C2E9B4D10}",
      "{5B0A3E64-2C47-4D8E-9F13-7A6C2E9B4D10}",
      []() -> const std::vector<MemberInfo>& {
        static const std::vector<MemberInfo> members{
            method<&clsQzcoErrorHandlerA::ErrorHandlerMessageQz>("ErrorHandlerMessageQz", 0x60030000,
                                                                 {{"oApp"},
                                                                  {"oErr"},
                                                                  {"sMessage"},
                                                                  {"sSource"},
                                                                  {"lOptions"},
                                                                  {"sLogFile"},
                                                                  {"lHelpContext"},
                                                                  opt("vExtra")}),
        };
        return members;
      },
      [] { return ObjectRef(std::make_shared<clsQzcoErrorHandlerA>()); },
  };
  return info;
}

void clsQzCommon10A::AppAboutQzco(ObjectRef oApp) {
  const String title = text_property(oApp, u"Title");
  const String version = win::to_string(win::get_property(oApp, u"Major")) + u"." +
                         win::to_string(win::get_property(oApp, u"Minor")) + u"." +
                         win::to_string(win::get_property(oApp, u"Revision"));
  const std::string body = ansi(title) + "\r\nVersion " + ansi(version);
  const std::string caption = "About " + ansi(title);
  win::MessageBoxA(nullptr, body.c_str(), caption.c_str(), win::MB_OK | win::MB_ICONINFORMATION);
}

Long clsQzcoErrorHandlerA::ErrorHandlerMessageQz(ObjectRef& oApp, ObjectRef& oErr, String& sMessage, String& sSource,
                                                 Long&, String&, Long&, Variant) {
  std::string body;
  String raised_by;
  if (oErr) {
    body = "Error " + ansi(win::to_string(win::get_property(oErr, u"Number"))) + ": " +
           ansi(text_property(oErr, u"Description"));
    raised_by = text_property(oErr, u"Source");
    const Long system_error = win::to_long(win::get_property(oErr, u"LastDllError"));
    if (system_error != 0) body += "\r\nSystem error " + std::to_string(system_error);
  } else {
    body = "Error";
  }
  if (!sMessage.empty()) body += "\r\n" + ansi(sMessage);
  const String& source = sSource.empty() ? raised_by : sSource;
  if (!source.empty()) body += "\r\nSource: " + ansi(source);
  if (!raised_by.empty() && raised_by != source) body += "\r\nRaised by: " + ansi(raised_by);
  const std::string caption = oApp ? ansi(text_property(oApp, u"Title")) : std::string("QzCommon10");
  return win::MessageBoxA(nullptr, body.c_str(), caption.c_str(), win::MB_OK | win::MB_ICONEXCLAMATION);
}

void register_companion() {
  win::register_class_object(
      {kCompanionAboutProgId, clsQzCommon10A::class_info_static().clsid, clsQzCommon10A::class_info_static().create});
  win::register_class_object({kCompanionErrorHandlerProgId, clsQzcoErrorHandlerA::class_info_static().clsid,
                              clsQzcoErrorHandlerA::class_info_static().create});
}

void revoke_companion() {
  win::revoke_class_object(kCompanionAboutProgId);
  win::revoke_class_object(kCompanionErrorHandlerProgId);
}

}  // namespace volumar
