#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace qorv::platform {

void UseBinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }

}  // namespace qorv::platform
