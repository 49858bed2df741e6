#include "platform/CurrentDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qorv::platform {

// The directory itself, open: it is found again even when it was renamed meanwhile.
struct CurrentDirectoryKeeper::Recorded {
  int fd = -1;
  struct stat identity {};
};

CurrentDirectoryKeeper::CurrentDirectoryKeeper() : FRecorded(std::make_unique<Recorded>()) {
#ifdef O_PATH
  FRecorded->fd = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
#else
  FRecorded->fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
  if (FRecorded->fd >= 0 && fstat(FRecorded->fd, &FRecorded->identity) != 0) {
    close(FRecorded->fd);
    FRecorded->fd = -1;
  }
}

CurrentDirectoryKeeper::~CurrentDirectoryKeeper() {
  if (FRecorded->fd < 0) return;
  struct stat now {};
  if (stat(".", &now) != 0 || now.st_dev != FRecorded->identity.st_dev || now.st_ino != FRecorded->identity.st_ino) {
    if (fchdir(FRecorded->fd) != 0) {
      // Nowhere to go back to: the directory stays as the foreign code left it.
    }
  }
  close(FRecorded->fd);
}

}  // namespace qorv::platform
