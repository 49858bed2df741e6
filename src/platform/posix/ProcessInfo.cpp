#include "platform/ProcessInfo.h"

#include <unistd.h>

#include <vector>

namespace qorv::platform {

std::string ExecutablePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

}  // namespace qorv::platform
