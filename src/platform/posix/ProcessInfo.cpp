#include "platform/ProcessInfo.h"

#include <unistd.h>

#include <fstream>
#include <vector>

namespace qorv::platform {

std::string ExecutablePath() {
  // A process's executable is fixed at its start: read once.
  static const std::string path = [] {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
  }();
  return path;
}

size_t ProcessMemoryBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0;
  size_t resident = 0;
  if (!(statm >> pages >> resident)) return 0;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace qorv::platform
