#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace qorv_ref::platform {

const char kPathSeparator = '/';

ReadResult ReadWholeFile(const std::string& path, size_t limit, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return ReadResult::Missing;
  // Without blocking, so that a FIFO in the file's place cannot hold the call.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? ReadResult::Unreadable : ReadResult::Missing;
  }
  struct stat info {};
  ReadResult result = ReadResult::Ok;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    result = ReadResult::Missing;
  } else if (static_cast<unsigned long long>(info.st_size) > limit) {
    result = ReadResult::Unreadable;
  } else {
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::read(fd, &bytes[done], bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done != bytes.size()) result = ReadResult::Unreadable;
  }
  ::close(fd);
  if (result != ReadResult::Ok) bytes.clear();
  return result;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::string(buffer.data());
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return std::string();
  if (path.front() == '/') return path;
  const std::string current = CurrentDirectory();
  if (current.empty()) return std::string();
  return current == "/" ? "/" + path : current + "/" + path;
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash))) return false;
  return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

}  // namespace qorv_ref::platform
