#include "platform/CallScope.h"

namespace qorv_ref::platform {

// The system's libcrypto is a library of its own: it initialises itself and keeps its
// per-thread state in thread keys that end with the thread.
void BeginCall() {}
void EndCall() {}

}  // namespace qorv_ref::platform
