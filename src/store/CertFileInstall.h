// Installing the files of one certificate set into the set's folder as one step. Each
// file is first copied into a new file of its own there (platform/FileCopy.h); only
// once every copy is made do the copies take the places of the files they replace,
// which are kept aside until the set's record is saved. A failure at any point puts back
// what was there and leaves no copy behind, so the folder always holds the files that
// the record names. Files of the same name from different folders get copies of their
// own: the later ones are numbered ("cert.pem", "cert-2.pem"); one file named twice is
// copied once.
#pragma once

#include <string>
#include <vector>

#include "store/StoreStatus.h"

namespace qorv {

// Certificates and keys are a few kilobytes; anything larger is not one of them.
inline constexpr unsigned long long kMaxCertificateFileBytes = 16ull * 1024 * 1024;

class TCertFileInstall {
 public:
  explicit TCertFileInstall(std::string certDir);
  ~TCertFileInstall();  // undoes what was placed and not kept
  TCertFileInstall(const TCertFileInstall&) = delete;
  TCertFileInstall& operator=(const TCertFileInstall&) = delete;

  // A path field of the set, in the order of the save; empty ones are left alone.
  void Add(std::string* field);

  // Works out where each file goes and checks every source, touching nothing. False,
  // with status and subject (the path at fault), when a source is missing, not a
  // regular file or too large.
  bool Plan(StoreStatus& status, std::string& subject);
  // Points the fields at their places in the folder, and back at the sources.
  void PointFieldsAtCopies();
  void PointFieldsAtSources();

  // Creates the folder when missing, removes what an install that ended midway left
  // there, copies the files and puts the copies in place. False, with status and
  // subject and everything as it was, when that fails. The store's lock must be held.
  bool Place(StoreStatus& status, std::string& subject);
  // Puts back what Place replaced and removes what it added.
  void Undo();
  // Keeps what Place did: the replaced files kept aside are removed.
  void Keep();

 private:
  struct Item {
    std::string* field = nullptr;
    std::string original;  // the field's value when added
    std::string source;    // the same in full form
    std::string target;    // the place in the folder
    bool copy = false;     // false when already in place, or named by an earlier field too
    std::string staged;    // the new copy, until it is placed
    std::string aside;     // the file it replaced, until the install is kept or undone
    bool placed = false;
  };

  std::string FCertDir;
  std::vector<Item> FItems;
};

}  // namespace qorv
