// The COM faces of frame objects: an IDispatch over any win::Object (with
// its class's type info, and _NewEnum for collections), and the reverse, a
// win::Object over a real IDispatch a client or the system hands us.
#pragma once
#include <atomic>

#include "platform/automation/dispatch.h"

#include <oaidl.h>

namespace volumar::native {

// Objects and enumerators alive in clients plus class-factory locks: the
// DLL may unload only when this is zero.
extern std::atomic<long> g_server_references;

// A new reference (count 1) to an IDispatch over the object, or the
// original IDispatch when the object wraps one.
IDispatch* dispatch_of(const win::ObjectRef& object);
// The frame object for a client's IDispatch (AddRef'd inside the wrapper).
win::ObjectRef object_of(IDispatch* dispatch);

}  // namespace volumar::native
