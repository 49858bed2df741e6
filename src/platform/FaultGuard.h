// Runs foreign code (a provider library's function) so that a fault inside it becomes
// a result instead of the end of the host process, and takes away the handlers it
// leaves behind.
#pragma once

#include <memory>

namespace qorv::platform {

class DynamicLibrary;

using GuardedFunction = void (*)(void* context);

// Calls fn(context). Returns true when it returned normally, false when it raised:
// on Windows any structured exception (access violations, stack overflows,
// RaiseException with any code, MSVC C++ and Delphi exceptions); on POSIX a C++
// exception or SIGSEGV, SIGBUS, SIGFPE or SIGILL raised on this thread while fn runs,
// a stack overflow included (the handler runs on an alternate signal stack). The
// abandoned call's frames are unwound (Windows) or skipped (POSIX). After a stack
// overflow the stack can overflow again and be caught again: on Windows the calling
// thread is given a stack guarantee of 32 KiB (it keeps it) and a guard page that far
// above the end of its stack when it lacks one. Faults outside such calls reach the
// host's own handlers as before.
bool CallGuarded(GuardedFunction fn, void* context);

// While one lives, what guarded calls need is set up once for all of them instead of
// once per call: a provider's whole sequence pays for it once. It belongs to the thread
// that makes it, which gets the alternate signal stack (POSIX); whatever alternate stack
// the thread had before comes back at its end. Faults outside guarded calls still reach
// the host's own handlers, and a handler the host installs meanwhile stays.
//
// Made for a foreign library (after the library is loaded, ended before it is
// unloaded), it also removes what the library leaves behind: every handler that lies in
// the library's code gets back the one it replaced, or the default when the library
// installed it as it was loaded. POSIX: the signal handlers (a library that imports
// none of the functions that install them is not watched); Windows: the C runtime's
// signal handlers and the unhandled-exception filter.
class FaultGuardScope {
 public:
  explicit FaultGuardScope(const DynamicLibrary* foreign = nullptr);
  ~FaultGuardScope();
  FaultGuardScope(const FaultGuardScope&) = delete;
  FaultGuardScope& operator=(const FaultGuardScope&) = delete;

 private:
  struct ForeignHandlers;
  const DynamicLibrary* FForeign;
  std::unique_ptr<ForeignHandlers> FHandlers;
};

}  // namespace qorv::platform
