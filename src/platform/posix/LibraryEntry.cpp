// The shared object's unload hook: built into the library only, not into the core that
// tests link.
#include "interface/LibraryLifecycle.h"

namespace {

__attribute__((destructor)) void OnUnload() { qorv::OnLibraryUnload(); }

}  // namespace
