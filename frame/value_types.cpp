#include "frame/value_types.h"

#include "platform/automation/automation_error.h"

namespace volumar {

Variant Picture::Invoke(win::DISPID, win::DispatchKind, std::vector<Variant>&) {
  win::raise_error(win::kErrNotSupported);
}

}  // namespace volumar
