// File-association members that come with the registry. Until then a call
// fails with a clear run-time error.
#include "assoc/custom_file_ext.h"
#include "frame/runtime_error.h"

namespace volumar {

void clsQzVolmCustomFileExtA::RegExtension(String&, String&, String&, String&) { raise_not_available("RegExtension"); }
Long clsQzVolmCustomFileExtA::AssociateFileExtension(String&, String&, String&, String&, String&) {
  raise_not_available("AssociateFileExtension");
}
Variant clsQzVolmCustomFileExtA::AssociateFileCommand(String&, String&, String&) {
  raise_not_available("AssociateFileCommand");
}

}  // namespace volumar
