#include "platform/Platform.h"

namespace qorv::platform {

const bool kWindows = true;
const char kPathSeparator = '\\';

}  // namespace qorv::platform
