#include "interface/LibraryLifecycle.h"

#include "interface/AppWindow.h"

namespace qorv {

void OnLibraryUnload() { SetAppWindowHandle(0); }

}  // namespace qorv
