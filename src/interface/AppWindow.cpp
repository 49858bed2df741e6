#include "interface/AppWindow.h"

#include <atomic>

namespace qorv {
namespace {

std::atomic<uintptr_t> g_appWindowHandle{0};

}  // namespace

uintptr_t AppWindowHandle() { return g_appWindowHandle.load(); }

void SetAppWindowHandle(uintptr_t handle) { g_appWindowHandle.store(handle); }

}  // namespace qorv
