#include "platform/ProcessInfo.h"

#include "platform/windows/ModuleFileName.h"

namespace qorv::platform {

std::string ExecutablePath() { return ModuleFileName(nullptr); }

}  // namespace qorv::platform
