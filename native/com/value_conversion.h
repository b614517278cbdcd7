// The one conversion between the automation frame's values and the real
// VARIANT, BSTR and SAFEARRAY, used wherever a value crosses the COM boundary
// in either direction, and the mapping of run-time errors to EXCEPINFO.
// Platform headers before system headers: <windows.h> defines TRUE, S_OK,
// DISPATCH_METHOD and the like as macros that would rewrite them.
#pragma once
#include "platform/automation/automation_error.h"
#include "platform/automation/dispatch.h"

#include <oaidl.h>

namespace volumar::native {

// Fills an initialised (VT_EMPTY) VARIANT; objects become IDispatch.
HRESULT to_variant(const win::Variant& value, VARIANT* out);
// Reads through VT_BYREF; raises 13 (type mismatch) for what the frame cannot hold.
win::Variant from_variant(const VARIANT& value);
// Stores a by-reference argument's new value back into the caller's variable.
HRESULT store_by_ref(const win::Variant& value, VARIANT* target);

BSTR to_bstr(std::u16string_view text);
std::u16string from_bstr(BSTR text);

// The run-time error as the script host reports it: number in
// FACILITY_CONTROL, description and source as given.
HRESULT to_excepinfo(const win::AutomationError& error, EXCEPINFO* info);
// The same error for a vtable caller: that code returned, the description
// and source in the thread's IErrorInfo, naming the interface called.
HRESULT to_error_info(const win::AutomationError& error, REFIID iid);
// A callee's EXCEPINFO (or bare failure code) as the frame's run-time error.
[[noreturn]] void raise_from(HRESULT hr, EXCEPINFO* info);

}  // namespace volumar::native
