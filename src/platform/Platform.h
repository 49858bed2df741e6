// Facts about the target that portable code may ask without testing OS macros itself.
#pragma once

namespace qorv::platform {

// True in the Windows builds: paths use '\' and drive parts, texts are in the ANSI
// code page and fixed messages are GBK bytes. False in the POSIX build (UTF-8, '/').
extern const bool kWindows;

// The path separator of the target.
extern const char kPathSeparator;

}  // namespace qorv::platform
