// What each exported call does first and last in the libraries the provider links: the
// host loads the provider for a request and unloads it afterwards, and its threads come
// and go meanwhile, so nothing may stay registered with the process or left in a thread.
#pragma once

namespace qorv_ref::platform {

// Before the call's first use of OpenSSL.
void BeginCall();
// After its last: gives back the calling thread's state.
void EndCall();

}  // namespace qorv_ref::platform
