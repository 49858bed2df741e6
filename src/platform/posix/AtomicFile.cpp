#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qorv::platform {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes the rename itself durable. A failure here cannot be undone and the new content
// is in place, so it is not reported.
void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

std::string AtomicTempName(const std::string& path) { return path + ".tmp"; }

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  // rename() would replace a read-only file whenever the folder is writable, so the
  // file's own write permission is asked for first, by opening it for writing (which
  // also respects ACLs and read-only mounts) without changing it.
  mode_t mode = 0600;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    const int probe = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (probe < 0) return false;
    close(probe);
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    return false;
  }

  const std::string temp = AtomicTempName(path);
  unlink(temp.c_str());  // a stale one from a crash, never followed if it is a link
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolderOf(path);
  return true;
}

}  // namespace qorv::platform
