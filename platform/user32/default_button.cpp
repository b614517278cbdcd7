// The answer a box gets when nobody is there to click: on both sides of the
// platform seam, for hosts that print boxes instead of showing them.
#include "platform/user32/message_box.h"

namespace win {

int default_button(UINT style) {
  switch (style & MB_BUTTONS_MASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}

}  // namespace win
