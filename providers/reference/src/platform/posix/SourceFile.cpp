#include "platform/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref::platform {
namespace {

const char* const kSourceWhat = "源文件";

}  // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
  // Opened without blocking and checked afterwards, so that a FIFO put in the file's
  // place cannot hold the call.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool exists = fd >= 0 || errno != ENOENT;
    if (fd >= 0) ::close(fd);
    if (exists && fd < 0 && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      Fail(msg::FileUnreadable(kSourceWhat, path));
    }
    Fail(msg::FileMissing(kSourceWhat, path));
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint: larger read-ahead
}

SourceFile::~SourceFile() { Close(); }

void SourceFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

size_t SourceFile::Read(unsigned char* data, size_t size) {
  const int fd = static_cast<int>(handle_);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(msg::FileUnreadable(kSourceWhat, path_));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace qorv_ref::platform
