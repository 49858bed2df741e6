#include "interface/AppWindow.h"

#include <atomic>

namespace qorv {
namespace {

std::atomic<uintptr_t> g_appWindowHandle{0};

thread_local bool t_callerHandleSet = false;
thread_local uintptr_t t_callerHandle = 0;

}  // namespace

uintptr_t AppWindowHandle() { return g_appWindowHandle.load(); }

void SetAppWindowHandle(uintptr_t handle) { g_appWindowHandle.store(handle); }

uintptr_t CallerWindowHandle() { return t_callerHandleSet ? t_callerHandle : AppWindowHandle(); }

CallerWindowScope::CallerWindowScope(uintptr_t handle) : FOuterSet(t_callerHandleSet), FOuter(t_callerHandle) {
  t_callerHandleSet = true;
  t_callerHandle = handle;
}

CallerWindowScope::~CallerWindowScope() {
  t_callerHandleSet = FOuterSet;
  t_callerHandle = FOuter;
}

}  // namespace qorv
