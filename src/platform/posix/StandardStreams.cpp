#include "platform/StandardStreams.h"

namespace qorv::platform {

void UseBinaryStandardInput() {}

}  // namespace qorv::platform
