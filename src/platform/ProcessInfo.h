// Where the running program lives.
#pragma once

#include <string>

namespace qorv::platform {

// Full path of the running process's executable.
std::string ExecutablePath();

}  // namespace qorv::platform
