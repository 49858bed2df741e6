#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already happened
  ::close(fd);
}

// Writeback is started every this many bytes, so that the fsync of Commit finds most of
// a large file on its way to disk already instead of all of it still dirty in memory.
constexpr uint64_t kWritebackStep = 8 << 20;

}  // namespace

AtomicFile::AtomicFile(const std::string& target, mode_t permissions) : target_(target) {
  if (target.empty() || target.back() == '/') Fail(msg::TargetNotCreatable(target));
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) Fail(msg::TargetNotCreatable(target));
  temp_.assign(buffer.data());
  ::fchmod(fd, permissions);
  fd_ = fd;
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

void AtomicFile::Write(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(msg::TargetWriteFailed(target_));
    bytes += n;
    size -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  if (written_ - flushStarted_ >= kWritebackStep) {
    // Best effort: Commit's fsync reports any failure.
    ::sync_file_range(fd_, static_cast<off_t>(flushStarted_), static_cast<off_t>(written_ - flushStarted_),
                      SYNC_FILE_RANGE_WRITE);
    flushStarted_ = written_;
  }
}

void AtomicFile::Commit(bool replace) {
  const bool flushed = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!flushed || !closed) Fail(msg::TargetWriteFailed(target_));
  if (replace) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(msg::TargetWriteFailed(target_));
  } else {
    // link() refuses an existing name, where rename() would replace it.
    if (::link(temp_.c_str(), target_.c_str()) != 0) {
      Fail(errno == EEXIST ? msg::OutputExists(target_) : msg::TargetWriteFailed(target_));
    }
    ::unlink(temp_.c_str());
  }
  temp_.clear();
  SyncFolder(FolderOf(target_));
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t permissions, bool replace) {
  AtomicFile file(path, permissions);
  file.Write(bytes.data(), bytes.size());
  file.Commit(replace);
}

}  // namespace qorv_ref
