// Runs foreign code (a provider library's function) so that a fault inside it becomes
// a result instead of the end of the host process.
#pragma once

namespace qorv::platform {

using GuardedFunction = void (*)(void* context);

// Calls fn(context). Returns true when it returned normally, false when it raised:
// on Windows any structured exception (access violations, RaiseException with any code,
// MSVC C++ and Delphi exceptions); on POSIX a C++ exception or SIGSEGV, SIGBUS, SIGFPE or
// SIGILL raised on this thread while fn runs. The abandoned call's frames are unwound
// (Windows) or skipped (POSIX). Faults outside such calls reach the host's own handlers
// as before.
bool CallGuarded(GuardedFunction fn, void* context);

// While one lives, what guarded calls need is set up once for all of them instead of
// once per call: a provider's whole sequence pays for it once. Faults outside guarded
// calls still reach the host's own handlers. Costs nothing where calls need no set-up.
class FaultGuardScope {
 public:
  FaultGuardScope();
  ~FaultGuardScope();
  FaultGuardScope(const FaultGuardScope&) = delete;
  FaultGuardScope& operator=(const FaultGuardScope&) = delete;
};

}  // namespace qorv::platform
