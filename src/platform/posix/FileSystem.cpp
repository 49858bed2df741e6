#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qorv::platform {

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  if (ok) {
    // The size when opened is what is read, as a reader racing a writer would see it.
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = read(fd, &bytes[done], bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    bytes.resize(done);
  }
  close(fd);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace qorv::platform
