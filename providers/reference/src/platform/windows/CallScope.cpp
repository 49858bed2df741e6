#include "platform/CallScope.h"

#include <openssl/crypto.h>

namespace qorv_ref::platform {

// libcrypto is linked in statically. Left to itself it registers its cleanup with the
// process's exit handlers, which would then call into the unloaded provider: it is told
// not to, and the provider's unload runs the cleanup instead (LibraryEntry.cpp).
void BeginCall() { OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr); }

// Nothing tells the static libcrypto when a thread of the host ends, so each call gives
// back the calling thread's state (error queue, random generators).
void EndCall() { OPENSSL_thread_stop(); }

}  // namespace qorv_ref::platform
