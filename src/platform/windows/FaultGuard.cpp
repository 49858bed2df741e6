#include "platform/FaultGuard.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdint>

#include "platform/DynamicLibrary.h"

// The assembly wrappers (FaultGuard_i686.S, FaultGuard_x86_64.S) call fn(context) inside a
// structured exception frame of their own: GCC has no __try. They return 1 when fn
// returned and 0 when an exception was raised inside it and the frames were unwound.
extern "C" unsigned char qorv_call_guarded(qorv::platform::GuardedFunction fn, void* context);

// x86_64 exception filter named in the wrapper's scope table: every exception that
// reaches the guarded call is handled there.
extern "C" LONG qorv_seh_filter(EXCEPTION_POINTERS* /*info*/, void* /*frame*/) { return EXCEPTION_EXECUTE_HANDLER; }

namespace qorv::platform {
namespace {

// Pages left below a guard page put back after a stack overflow: the system moves the
// guard down through them as the stack grows, and raises the next overflow in the last
// ones, as on a fresh stack.
constexpr uintptr_t kPagesBelowNewGuard = 16;

// A stack overflow uses up the guard page at the end of the thread's stack; without
// one the next overflow would end the process. Puts one back below the pages in use
// when it is missing.
void RestoreStackGuard() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION inUse{};
  if (VirtualQuery(const_cast<char*>(&here), &inUse, sizeof inUse) == 0) return;
  const auto stackBase = reinterpret_cast<uintptr_t>(inUse.AllocationBase);
  const auto lowestInUse = reinterpret_cast<uintptr_t>(inUse.BaseAddress);
  MEMORY_BASIC_INFORMATION below{};
  if (lowestInUse > stackBase && VirtualQuery(reinterpret_cast<void*>(lowestInUse - 1), &below, sizeof below) != 0 &&
      below.State == MEM_COMMIT && (below.Protect & PAGE_GUARD) != 0) {
    return;  // the guard is in place
  }
  const uintptr_t guard = std::max(lowestInUse, stackBase + kPagesBelowNewGuard * page);
  const uintptr_t current = reinterpret_cast<uintptr_t>(&here) & ~(page - 1);
  if (guard + 2 * page > current) return;  // no room left below this frame
  DWORD previous = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(guard), page, PAGE_READWRITE | PAGE_GUARD, &previous)) return;
  // Code that probes its stack pages only below the recorded limit must reach the guard.
  auto* tib = reinterpret_cast<NT_TIB*>(NtCurrentTeb());
  if (reinterpret_cast<uintptr_t>(tib->StackLimit) < guard + page)
    tib->StackLimit = reinterpret_cast<void*>(guard + page);
}

using SignalHandler = void (*)(int);
constexpr std::array<int, 7> kRuntimeSignals{SIGINT, SIGILL, SIGFPE, SIGSEGV, SIGTERM, SIGBREAK, SIGABRT};

// The C runtime's handler for the signal, left in place (SIG_ERR when it has none).
// It has no call that only reads: the signal is ignored for the moment in between.
SignalHandler RuntimeHandler(int signal) {
  const SignalHandler current = std::signal(signal, SIG_IGN);
  if (current != SIG_ERR) std::signal(signal, current);
  return current;
}

LPTOP_LEVEL_EXCEPTION_FILTER CurrentExceptionFilter() {
  const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
  SetUnhandledExceptionFilter(current);
  return current;
}

}  // namespace

// The handlers as the library found them once it was loaded.
struct FaultGuardScope::ForeignHandlers {
  std::array<SignalHandler, kRuntimeSignals.size()> signals{};
  LPTOP_LEVEL_EXCEPTION_FILTER exceptionFilter = nullptr;
};

bool CallGuarded(GuardedFunction fn, void* context) {
  if (qorv_call_guarded(fn, context) != 0) return true;
  RestoreStackGuard();
  return false;
}

// Each call's exception frame lives on its own stack: only a foreign library's
// handlers need watching.
FaultGuardScope::FaultGuardScope(const DynamicLibrary* foreign) : FForeign(foreign) {
  if (foreign == nullptr) return;
  FHandlers = std::make_unique<ForeignHandlers>();
  for (size_t i = 0; i < kRuntimeSignals.size(); ++i) FHandlers->signals[i] = RuntimeHandler(kRuntimeSignals[i]);
  FHandlers->exceptionFilter = CurrentExceptionFilter();
}

FaultGuardScope::~FaultGuardScope() {
  if (FHandlers == nullptr) return;
  const auto isForeign = [this](const void* code) { return FForeign->Contains(code); };
  for (size_t i = 0; i < kRuntimeSignals.size(); ++i) {
    const SignalHandler before = FHandlers->signals[i];
    const SignalHandler current = RuntimeHandler(kRuntimeSignals[i]);
    if (current == SIG_ERR || before == SIG_ERR || !isForeign(reinterpret_cast<const void*>(current))) continue;
    std::signal(kRuntimeSignals[i], isForeign(reinterpret_cast<const void*>(before)) ? SIG_DFL : before);
  }
  const LPTOP_LEVEL_EXCEPTION_FILTER filter = CurrentExceptionFilter();
  if (isForeign(reinterpret_cast<const void*>(filter))) {
    const LPTOP_LEVEL_EXCEPTION_FILTER before = FHandlers->exceptionFilter;
    SetUnhandledExceptionFilter(isForeign(reinterpret_cast<const void*>(before)) ? nullptr : before);
  }
}

}  // namespace qorv::platform
