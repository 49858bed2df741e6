#include "platform/ThreadCleanup.h"

#include <openssl/crypto.h>

namespace qorv_ref::platform {

// libcrypto is linked in statically: nothing tells it when a thread of the host ends,
// so each call gives back the calling thread's state (error queue, random generators).
void ReleaseThreadState() { OPENSSL_thread_stop(); }

}  // namespace qorv_ref::platform
