// Where the running program lives.
#pragma once

#include <cstddef>
#include <string>

namespace qorv::platform {

// Full path of the running process's executable.
std::string ExecutablePath();

// Memory the process holds for itself (private bytes on Windows, resident set on
// POSIX), for watching it grow; 0 when unknown.
size_t ProcessMemoryBytes();

}  // namespace qorv::platform
