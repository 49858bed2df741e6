// The process-wide owner window handle that every export sets on entry and that the
// provider's initialisation receives. Atomic, so that concurrent calls do not race.
#pragma once

#include <cstdint>

namespace qorv {

uintptr_t AppWindowHandle();
void SetAppWindowHandle(uintptr_t handle);

}  // namespace qorv
