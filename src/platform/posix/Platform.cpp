#include "platform/Platform.h"

namespace qorv::platform {

const bool kWindows = false;
const char kPathSeparator = '/';

}  // namespace qorv::platform
