// The provider's own emulation of thread-local storage (see ThreadLocalEmulation.cpp).
#pragma once

namespace qorv_ref::platform {

// When a thread ends.
void ReleaseThreadLocalsOfThisThread();
// When the provider is unloaded, after everything else.
void ReleaseAllThreadLocals();

}  // namespace qorv_ref::platform
