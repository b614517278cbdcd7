// QzCommon10, the companion component built into the library: an about box
// and an error report, both shown through the message-box sink. The library
// itself reaches these classes only by late binding through their ProgIDs.
#pragma once
#include "frame/automation_object.h"
#include "frame/value_types.h"

namespace volumar {

// The about box: the application object's title and version.
class clsQzCommon10A : public AutomationObject {
 public:
  clsQzCommon10A();
  static const ClassInfo& class_info_static();

  void AppAboutQzco(ObjectRef oApp);
};

// The error report: the error's number, description and source.
class clsQzcoErrorHandlerA : public AutomationObject {
 public:
  clsQzcoErrorHandlerA();
  static const ClassInfo& class_info_static();

  // Returns the button the user chose.
  Long ErrorHandlerMessageQz(ObjectRef& oApp, ObjectRef& oErr, String& sMessage, String& sSource, Long& lOptions,
                             String& sLogFile, Long& lHelpContext, Variant vExtra);
};

// Offers (or withdraws) the two classes under "QzCommon10.clsQzCommon10A"
// and "QzCommon10.clsQzcoErrorHandlerA". A host that leaves them out sees
// "can't create object" (429) wherever the library would use them.
void register_companion();
void revoke_companion();

}  // namespace volumar
