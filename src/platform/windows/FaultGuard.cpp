#include "platform/FaultGuard.h"

#include <windows.h>

// The assembly wrappers (FaultGuard_i686.S, FaultGuard_x86_64.S) call fn(context) inside a
// structured exception frame of their own: GCC has no __try. They return 1 when fn
// returned and 0 when an exception was raised inside it and the frames were unwound.
extern "C" unsigned char qorv_call_guarded(qorv::platform::GuardedFunction fn, void* context);

// x86_64 exception filter named in the wrapper's scope table: every exception that
// reaches the guarded call is handled there.
extern "C" LONG qorv_seh_filter(EXCEPTION_POINTERS* /*info*/, void* /*frame*/) { return EXCEPTION_EXECUTE_HANDLER; }

namespace qorv::platform {

bool CallGuarded(GuardedFunction fn, void* context) { return qorv_call_guarded(fn, context) != 0; }

// Each call's exception frame lives on its own stack: there is nothing to set up.
FaultGuardScope::FaultGuardScope() = default;
FaultGuardScope::~FaultGuardScope() = default;

}  // namespace qorv::platform
