#include "platform/FileCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FreshName.h"

namespace qorv::platform {
namespace {

constexpr const char* kCopyPrefix = ".qcm-copy-";
constexpr const char* kAsidePrefix = ".qcm-aside-";

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes it, reporting whether the last writes made it.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

CopySource Classify(const struct stat& st, uint64_t maxBytes) {
  if (!S_ISREG(st.st_mode)) return CopySource::NotRegularFile;
  if (static_cast<uint64_t>(st.st_size) > maxBytes) return CopySource::TooLarge;
  return CopySource::Ok;
}

// The folder without trailing separators, so that O_NOFOLLOW sees a link in its place
// (a trailing '/' would make the system follow it).
std::string FolderName(const std::string& folder) {
  std::string name = folder.empty() ? std::string(".") : folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  const Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Copies in to out; false when reading or writing fails or more than maxBytes arrive
// (the source grew while it was read).
bool CopyBytes(int in, int out, uint64_t maxBytes, bool& tooLarge) {
  char buffer[65536];
  uint64_t total = 0;
  for (;;) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    total += static_cast<uint64_t>(n);
    if (total > maxBytes) {
      tooLarge = true;
      return false;
    }
    if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
  }
}

}  // namespace

CopySource CheckCopySource(const std::string& path, uint64_t maxBytes) {
  struct stat st {};
  if (path.empty() || stat(path.c_str(), &st) != 0) return CopySource::Missing;
  return Classify(st, maxBytes);
}

bool CopyToNewFile(const std::string& from, const std::string& folder, bool realFolder, uint64_t maxBytes,
                   std::string& created, CopySource& why) {
  created.clear();
  why = CheckCopySource(from, maxBytes);
  if (why != CopySource::Ok) return false;
  // Not blocking: should a FIFO take the file's place after the check, opening it does
  // not wait for a writer, and fstat refuses it.
  const Descriptor in(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat st {};
  if (in.get() < 0) {
    why = CopySource::Missing;
    return false;
  }
  why = fstat(in.get(), &st) == 0 ? Classify(st, maxBytes) : CopySource::Missing;
  if (why != CopySource::Ok) return false;
  fcntl(in.get(), F_SETFL, fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);

  const std::string folderName = FolderName(folder);
  const Descriptor dir(open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (realFolder ? O_NOFOLLOW : 0)));
  if (dir.get() < 0) return false;
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = FreshFileName(kCopyPrefix);
    fd = openat(dir.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) return false;
  Descriptor out(fd);

  bool tooLarge = false;
  bool ok = CopyBytes(in.get(), out.get(), maxBytes, tooLarge) && fsync(out.get()) == 0;
  ok = out.Close() && ok;
  if (!ok) {
    unlinkat(dir.get(), name.c_str(), 0);
    if (tooLarge) why = CopySource::TooLarge;
    return false;
  }
  created = (folderName == "/" ? std::string() : folderName) + "/" + name;
  return true;
}

bool MoveReplacing(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty() || rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(FolderOf(to));
  return true;
}

bool MoveAside(const std::string& path, std::string& aside) {
  aside.clear();
  struct stat st {};
  if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  const std::string folder = FolderOf(path);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate = (folder == "/" ? std::string() : folder) + "/" + FreshFileName(kAsidePrefix);
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) {
      aside = candidate;
      return true;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without RENAME_NOREPLACE: a hard link is made only where nothing is.
    if (link(path.c_str(), candidate.c_str()) == 0) {
      unlink(path.c_str());
      aside = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool RemoveFile(const std::string& path) { return !path.empty() && unlink(path.c_str()) == 0; }

void RemoveLeftoverCopies(const std::string& folder) {
  DIR* dir = opendir(FolderName(folder).c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(kCopyPrefix, 0) == 0 || name.rfind(kAsidePrefix, 0) == 0) unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  std::string created;
  CopySource why;
  if (!CopyToNewFile(from, FolderOf(to), false, kAnySize, created, why)) return false;
  if (MoveReplacing(created, to)) return true;
  RemoveFile(created);
  return false;
}

}  // namespace qorv::platform
