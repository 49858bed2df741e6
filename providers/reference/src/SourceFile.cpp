#include "SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref {
namespace {

const char* const kSourceWhat = "源文件";

}  // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) Fail(msg::FileMissing(kSourceWhat, path));
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) Fail(msg::FileUnreadable(kSourceWhat, path));
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);  // a hint: larger read-ahead
}

SourceFile::~SourceFile() { ::close(fd_); }

size_t SourceFile::Read(unsigned char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd_, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail(msg::FileUnreadable(kSourceWhat, path_));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace qorv_ref
