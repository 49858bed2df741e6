#include "platform/FaultGuard.h"

#include <setjmp.h>
#include <signal.h>

#include <array>
#include <mutex>

namespace qorv::platform {
namespace {

constexpr std::array<int, 4> kFaultSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL};

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

void Enter() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  if (g_activeCalls++ > 0) return;
  struct sigaction ours {};
  ours.sa_sigaction = OnFault;
  ours.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&ours.sa_mask);
  for (size_t i = 0; i < kFaultSignals.size(); ++i) sigaction(kFaultSignals[i], &ours, &g_previous[i]);
}

void Leave() {
  std::lock_guard<std::mutex> lock(g_installMutex);
  if (--g_activeCalls > 0) return;
  for (size_t i = 0; i < kFaultSignals.size(); ++i) sigaction(kFaultSignals[i], &g_previous[i], nullptr);
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

FaultGuardScope::FaultGuardScope() { Enter(); }

FaultGuardScope::~FaultGuardScope() { Leave(); }

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
