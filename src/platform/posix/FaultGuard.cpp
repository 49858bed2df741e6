#include "platform/FaultGuard.h"

#include <setjmp.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/posix/LibraryImports.h"

namespace qorv::platform {
namespace {

constexpr std::array<int, 4> kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL};

bool IsFaultSignal(int signal) {
  return std::find(kFaultSignals.begin(), kFaultSignals.end(), signal) != kFaultSignals.end();
}

// Where the innermost guarded call on this thread resumes after a fault.
thread_local sigjmp_buf* t_resume = nullptr;

// The handlers are installed only while at least one guarded call or scope runs, and
// the ones they replaced are restored when the last one ends.
std::mutex g_installMutex;
int g_activeCalls = 0;
std::array<struct sigaction, kFaultSignals.size()> g_previous{};

const struct sigaction* PreviousFor(int signal) {
  for (size_t i = 0; i < kFaultSignals.size(); ++i) {
    if (kFaultSignals[i] == signal) return &g_previous[i];
  }
  return nullptr;
}

void OnFault(int signal, siginfo_t* info, void* ucontext) {
  if (t_resume != nullptr) siglongjmp(*t_resume, signal);

  // A fault outside a guarded call belongs to whoever handled it before us.
  const struct sigaction* previous = PreviousFor(signal);
  if (previous != nullptr && (previous->sa_flags & SA_SIGINFO) != 0 && previous->sa_sigaction != nullptr) {
    previous->sa_sigaction(signal, info, ucontext);
    return;
  }
  if (previous != nullptr && previous->sa_handler != SIG_DFL && previous->sa_handler != SIG_IGN) {
    previous->sa_handler(signal);
    return;
  }
  // Default action: take it when the faulting instruction runs again.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
}

// The code a disposition runs, or null for the default and ignoring.
const void* HandlerCode(const struct sigaction& action) {
  if ((action.sa_flags & SA_SIGINFO) != 0) return reinterpret_cast<const void*>(action.sa_sigaction);
  if (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN) return nullptr;
  return reinterpret_cast<const void*>(action.sa_handler);
}

bool IsOurs(const struct sigaction& action) {
  return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == OnFault;
}

struct sigaction OurAction() {
  struct sigaction ours {};
  ours.sa_sigaction = OnFault;
  // On the alternate stack: a stack overflow leaves no room on the faulting one.
  ours.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  sigemptyset(&ours.sa_mask);
  return ours;
}

struct sigaction DefaultAction() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  return action;
}

void InstallHandlers() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  if (g_activeCalls++ > 0) return;
  const struct sigaction ours = OurAction();
  for (size_t i = 0; i < kFaultSignals.size(); ++i) sigaction(kFaultSignals[i], &ours, &g_previous[i]);
}

// foreign, when given, is the library whose scope ends: a handler of its own in our
// place is taken away too.
void UninstallHandlers(const DynamicLibrary* foreign) {
  std::lock_guard<std::mutex> lock(g_installMutex);
  const auto isForeign = [foreign](const struct sigaction& action) {
    return foreign != nullptr && foreign->Contains(HandlerCode(action));
  };
  if (--g_activeCalls > 0) {
    if (foreign == nullptr) return;
    // Others still make guarded calls: ours goes back where the library put its own.
    const struct sigaction ours = OurAction();
    for (int signal : kFaultSignals) {
      struct sigaction current {};
      if (sigaction(signal, nullptr, &current) == 0 && isForeign(current)) sigaction(signal, &ours, nullptr);
    }
    return;
  }
  for (size_t i = 0; i < kFaultSignals.size(); ++i) {
    struct sigaction replaced {};
    if (sigaction(kFaultSignals[i], &g_previous[i], &replaced) != 0) continue;
    // A handler someone else installed meanwhile (the host, on another thread) stays.
    if (!IsOurs(replaced) && !isForeign(replaced)) sigaction(kFaultSignals[i], &replaced, nullptr);
  }
}

// The alternate signal stack of this thread, while it makes guarded calls.
constexpr size_t kAlternateStackSize = 64 * 1024;
thread_local int t_threadScopes = 0;
thread_local bool t_hadStackRecorded = false;
thread_local stack_t t_previousStack{};
thread_local void* t_ourStack = nullptr;

void EnterThread() {
  if (t_threadScopes++ > 0) return;
  const size_t size = std::max<size_t>(kAlternateStackSize, static_cast<size_t>(SIGSTKSZ));
  void* memory = std::malloc(size);
  t_hadStackRecorded = false;
  if (memory == nullptr) return;
  stack_t ours{};
  ours.ss_sp = memory;
  ours.ss_size = size;
  // Fails only while the thread runs on its own alternate stack, which then stays.
  t_hadStackRecorded = sigaltstack(&ours, &t_previousStack) == 0;
  if (!t_hadStackRecorded) {
    std::free(memory);
    return;
  }
  t_ourStack = memory;
}

// Whatever alternate stack the thread had comes back, also when the foreign code
// replaced it with one of its own.
void LeaveThread() {
  if (--t_threadScopes > 0) return;
  if (t_hadStackRecorded) {
    stack_t previous = t_previousStack;
    previous.ss_flags &= SS_DISABLE;
    sigaltstack(&previous, nullptr);
  }
  std::free(t_ourStack);
  t_ourStack = nullptr;
}

// Functions through which a library can install signal handlers. One that imports none
// of them is not watched: reading every disposition costs a system call per signal.
bool MayInstallSignalHandlers(const DynamicLibrary& library) {
  return ImportsAnyOf(library, {"sigaction", "__sigaction", "signal", "__sysv_signal", "sysv_signal", "bsd_signal",
                                "sigset", "syscall", "dlsym", "dlvsym"});
}

bool RunCatchingExceptions(GuardedFunction fn, void* context) {
  try {
    fn(context);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

// The dispositions of the signals other than the fault signals, as the library found
// them once it was loaded.
struct FaultGuardScope::ForeignHandlers {
  std::vector<std::pair<int, struct sigaction>> recorded;
};

FaultGuardScope::FaultGuardScope(const DynamicLibrary* foreign) : FForeign(foreign) {
  if (foreign != nullptr && MayInstallSignalHandlers(*foreign)) {
    FHandlers = std::make_unique<ForeignHandlers>();
    for (int signal = 1; signal < NSIG; ++signal) {
      if (signal == SIGKILL || signal == SIGSTOP || IsFaultSignal(signal)) continue;
      struct sigaction action {};
      if (sigaction(signal, nullptr, &action) == 0) FHandlers->recorded.emplace_back(signal, action);
    }
  }
  InstallHandlers();
  EnterThread();
}

FaultGuardScope::~FaultGuardScope() {
  if (FHandlers != nullptr) {
    for (const auto& [signal, before] : FHandlers->recorded) {
      struct sigaction current {};
      if (sigaction(signal, nullptr, &current) != 0 || !FForeign->Contains(HandlerCode(current))) continue;
      const struct sigaction replacement = FForeign->Contains(HandlerCode(before)) ? DefaultAction() : before;
      sigaction(signal, &replacement, nullptr);
    }
  }
  UninstallHandlers(FForeign);
  LeaveThread();
}

bool CallGuarded(GuardedFunction fn, void* context) {
  const FaultGuardScope installed;
  sigjmp_buf resume;
  sigjmp_buf* const outer = t_resume;
  // The signal mask is saved so that the fault's signal is unblocked again afterwards.
  if (sigsetjmp(resume, 1) != 0) {
    t_resume = outer;
    return false;
  }
  t_resume = &resume;
  const bool ok = RunCatchingExceptions(fn, context);
  t_resume = outer;
  return ok;
}

}  // namespace qorv::platform
