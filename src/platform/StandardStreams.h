// The process's standard streams, read as bytes.
#pragma once

namespace qorv::platform {

// Makes reads from standard input return its bytes as they come: Windows' C runtime
// would otherwise turn CR LF into LF and stop at a Ctrl-Z byte. Nothing to do on POSIX.
void UseBinaryStandardInput();

}  // namespace qorv::platform
