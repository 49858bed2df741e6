// The process-wide owner window handle that every export sets on entry, and the handle
// of the export running on this thread, which its provider's initialisation receives.
#pragma once

#include <cstdint>

namespace qorv {

// Atomic, so that concurrent calls do not race.
uintptr_t AppWindowHandle();
void SetAppWindowHandle(uintptr_t handle);

// The handle that the export running on this thread was called with: calls on other
// threads do not change it. Outside any export, AppWindowHandle().
uintptr_t CallerWindowHandle();

// Makes handle this thread's CallerWindowHandle while it lives; exports that nest (a
// provider calling the library back) get theirs and then the outer one again.
class CallerWindowScope {
 public:
  explicit CallerWindowScope(uintptr_t handle);
  ~CallerWindowScope();
  CallerWindowScope(const CallerWindowScope&) = delete;
  CallerWindowScope& operator=(const CallerWindowScope&) = delete;

 private:
  bool FOuterSet;
  uintptr_t FOuter;
};

}  // namespace qorv
