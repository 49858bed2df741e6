#include "platform/ThreadCleanup.h"

namespace qorv_ref::platform {

// The system's libcrypto keeps its per-thread state in thread keys that end with the thread.
void ReleaseThreadState() {}

}  // namespace qorv_ref::platform
