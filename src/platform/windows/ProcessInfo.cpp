#include "platform/ProcessInfo.h"

#include <windows.h>
#include <psapi.h>

#include "platform/windows/ModuleFileName.h"

namespace qorv::platform {

std::string ExecutablePath() { return ModuleFileName(nullptr); }

size_t ProcessMemoryBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
    return 0;
  }
  // Some systems (wine) leave the private count at 0; the commit charge is next best.
  if (counters.PrivateUsage != 0) return counters.PrivateUsage;
  return counters.PagefileUsage != 0 ? counters.PagefileUsage : counters.WorkingSetSize;
}

}  // namespace qorv::platform
