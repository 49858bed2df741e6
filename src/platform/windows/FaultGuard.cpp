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

// The room the system keeps at the end of the stack of a thread that makes guarded
// calls: it raises a stack overflow that far before the end, so that the exception can
// be dispatched and the frames unwound there.
constexpr ULONG kStackGuarantee = 32 * 1024;

using SetThreadStackGuaranteeFn = BOOL(WINAPI*)(PULONG);

// Looked up, since not every 32-bit Windows has it.
SetThreadStackGuaranteeFn StackGuaranteeFunction() {
  static const auto function = reinterpret_cast<SetThreadStackGuaranteeFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadStackGuarantee")));
  return function;
}

// Raises the calling thread's guarantee to kStackGuarantee (it never lowers one) and
// returns the guarantee in force.
ULONG EnsureStackGuarantee() {
  const SetThreadStackGuaranteeFn function = StackGuaranteeFunction();
  if (function == nullptr) return 0;
  ULONG size = kStackGuarantee;
  if (!function(&size)) return size;
  return std::max(size, kStackGuarantee);
}

// GCC takes the i686 segment read in NtCurrentTeb for an access beyond an array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
NT_TIB* CurrentThreadBlock() { return reinterpret_cast<NT_TIB*>(NtCurrentTeb()); }
#pragma GCC diagnostic pop

// An overflow is raised, with the guaranteed room left, when the stack reaches a guard
// page that far above its end; the system then moves the guard down as the stack grows.
// A stack overflow uses the guard up, and wine keeps only one at the very end of a
// thread's stack, with no room below it: this puts one back high enough when there is
// none from there up to this frame. Cheap when there is: a query or two.
void EnsureStackGuard() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const uintptr_t page = system.dwPageSize;
  volatile char here = 0;
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(const_cast<char*>(&here), &region, sizeof region) == 0) return;
  const auto stackBase = reinterpret_cast<uintptr_t>(region.AllocationBase);
  const uintptr_t current = reinterpret_cast<uintptr_t>(&here) & ~(page - 1);
  uintptr_t at = stackBase + (EnsureStackGuarantee() / page + 4) * page;
  while (at + 2 * page <= current) {
    if (VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == 0) return;
    const bool committed = region.State == MEM_COMMIT;
    if (committed && (region.Protect & PAGE_GUARD) != 0) return;  // a guard, high enough
    if (committed && (region.Protect & PAGE_NOACCESS) == 0) break;
    at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  if (at + 2 * page > current) return;  // no room left below this frame
  DWORD previous = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(at), page, PAGE_READWRITE | PAGE_GUARD, &previous)) return;
  // Code that probes its stack pages only below the recorded limit must reach the guard.
  NT_TIB* tib = CurrentThreadBlock();
  if (reinterpret_cast<uintptr_t>(tib->StackLimit) < at + page) tib->StackLimit = reinterpret_cast<void*>(at + page);
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

// The guard is made ready before each call and again after a failed one, for the
// host's own code that runs next.
bool CallGuarded(GuardedFunction fn, void* context) {
  EnsureStackGuard();
  if (qorv_call_guarded(fn, context) != 0) return true;
  EnsureStackGuard();
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
