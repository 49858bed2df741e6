#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref::platform {
namespace {

// Named temporary files are ".<target name>.<random>.qrvpart" in the target's folder,
// and the writer holds an exclusive lock on each while it exists.
constexpr char kTempSuffix[] = ".qrvpart";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool EndsWith(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

std::string RandomPart() {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::random_device device;
  std::string part;
  for (int i = 0; i < 12; ++i) part += kDigits[device() % (sizeof kDigits - 1)];
  return part;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename itself has already happened
  ::close(fd);
}

// Temporary files of this target that no writer holds any more: left by a writer that
// was killed. Only regular files of this user with the exact name form are touched.
void RemoveLeftovers(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = "." + name + ".";
  std::vector<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string entryName = entry->d_name;
    if (entryName.size() > prefix.size() + sizeof kTempSuffix - 1 && entryName.compare(0, prefix.size(), prefix) == 0 &&
        EndsWith(entryName, kTempSuffix)) {
      found.push_back(entryName);
    }
  }
  ::closedir(dir);
  for (const std::string& entryName : found) {
    const std::string path = InFolder(folder, entryName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
}

// Gives the unnamed file fd a name in folder; false when the system cannot.
bool LinkUnnamed(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  // Without /proc; needs the privilege to open files by handle.
  return errno != EEXIST && ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

// Writeback is started every this many bytes, so that the fsync of Commit finds most of
// a large file on its way to disk already instead of all of it still dirty in memory.
constexpr uint64_t kWritebackStep = 8 << 20;

}  // namespace

AtomicFile::AtomicFile(const std::string& target, Visibility visibility) : target_(target) {
  if (target.empty() || target.back() == '/') Fail(msg::TargetNotCreatable(target));
  const mode_t permissions = visibility == Visibility::Everyone ? 0644 : 0600;
  const std::string folder = FolderOf(target);
  const std::string name = NameOf(target);
  RemoveLeftovers(folder, name);

  // Unnamed first: a killed writer leaves nothing at all.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, permissions);
  if (fd < 0) {
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp_ = InFolder(folder, "." + name + "." + RandomPart() + kTempSuffix);
      fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      temp_.clear();
      Fail(msg::TargetNotCreatable(target));
    }
  }
  handle_ = fd;
  ::flock(fd, LOCK_EX);  // tells RemoveLeftovers of other writers that this one is alive
  ::fchmod(fd, permissions);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

void AtomicFile::Write(const void* data, size_t size) {
  const int fd = static_cast<int>(handle_);
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(msg::TargetWriteFailed(target_));
    bytes += n;
    size -= static_cast<size_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  if (written_ - flushStarted_ >= kWritebackStep) {
    // Best effort: Commit's fsync reports any failure.
    ::sync_file_range(fd, static_cast<off_t>(flushStarted_), static_cast<off_t>(written_ - flushStarted_),
                      SYNC_FILE_RANGE_WRITE);
    flushStarted_ = written_;
  }
}

void AtomicFile::Commit(bool replace) {
  const int fd = static_cast<int>(handle_);
  if (::fsync(fd) != 0) Fail(msg::TargetWriteFailed(target_));
  const std::string folder = FolderOf(target_);
  if (temp_.empty()) {
    if (!replace) {
      // link() refuses an existing name, where rename() would replace it.
      if (!LinkUnnamed(fd, target_)) {
        Fail(errno == EEXIST ? msg::OutputExists(target_) : msg::TargetWriteFailed(target_));
      }
      Discard();
      SyncFolder(folder);
      return;
    }
    // A name of its own first, then renamed over the target in one step.
    for (int attempt = 0; attempt < 100 && temp_.empty(); ++attempt) {
      const std::string candidate = InFolder(folder, "." + NameOf(target_) + "." + RandomPart() + kTempSuffix);
      if (LinkUnnamed(fd, candidate)) temp_ = candidate;
      else if (errno != EEXIST) break;
    }
    if (temp_.empty()) Fail(msg::TargetWriteFailed(target_));
  }
  if (replace) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(msg::TargetWriteFailed(target_));
  } else {
    if (::link(temp_.c_str(), target_.c_str()) != 0) {
      Fail(errno == EEXIST ? msg::OutputExists(target_) : msg::TargetWriteFailed(target_));
    }
    ::unlink(temp_.c_str());
  }
  temp_.clear();
  const bool closed = ::close(fd) == 0;
  handle_ = -1;
  if (!closed) Fail(msg::TargetWriteFailed(target_));
  SyncFolder(folder);
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, Visibility visibility, bool replace) {
  AtomicFile file(path, visibility);
  file.Write(bytes.data(), bytes.size());
  file.Commit(replace);
}

}  // namespace qorv_ref::platform
