// What the calling thread leaves behind in libraries the provider links, given back at
// the end of each call: the host's threads come and go while the provider stays loaded
// only for the calls it serves.
#pragma once

namespace qorv_ref::platform {

void ReleaseThreadState();

}  // namespace qorv_ref::platform
