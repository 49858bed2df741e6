// The lock that keeps one crypto type's store consistent among threads and processes:
// its certificate set file and the certificate copies the file names. A change holds it
// alone from its first read to its last write, copies and provider calls included, so
// two changes never mix their files or lose each other's records; readers share it for
// as long as they use the stored files, so they never see a set half installed.
//
// It lives on the lock file beside the set file (set file + ".lock"). A reader never
// creates that file and so leaves the store as it found it: every change makes it, so a
// store without one was never changed by a writer that takes the lock, and is read as
// it is. A thread that holds the lock may take it again (a change reads and saves the
// file it holds); the inner one then costs nothing.
#pragma once

#include <string>

namespace qorv {

class TStoreLock {
 public:
  enum class Mode { Read, Change };

  // Waits for the lock of the set file. A change creates the lock file (its folder must
  // exist); a read takes the lock only where the lock file exists.
  TStoreLock(const std::string& setFileName, Mode mode);
  ~TStoreLock();  // on the thread that took it
  TStoreLock(const TStoreLock&) = delete;
  TStoreLock& operator=(const TStoreLock&) = delete;

  // For a change, whether it may go ahead: false when the lock file can be neither made
  // nor opened, or this thread reads the store already (a read cannot become a change).
  // A read may always go ahead.
  bool Held() const { return FHeld; }

  static std::string LockFileName(const std::string& setFileName);

  // One thread's hold on one lock file, shared by the objects nested in it.
  struct Holding;

 private:
  Holding* FHolding = nullptr;
  bool FHeld = false;
};

}  // namespace qorv
