// An INI file on disk, safe against crashes and against other writers: every save is a
// read-modify-write under the store's lock (store/StoreLock.h, a lock file beside the
// INI file, shared by threads and processes) that replaces the whole file in one step,
// so two programs saving at once lose nothing and a crash leaves the old file or the
// new one. Reading creates nothing.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/IniDocument.h"

namespace qorv {

using IniEntries = std::vector<std::pair<std::string, std::string>>;

class TIniFile {
 public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }
  // FileName() + ".lock".
  std::string LockFileName() const;

  // The file as it stands, read under the store's lock where a writer made one. False,
  // with document empty, when the file is missing or cannot be read.
  bool Load(TIniDocument& document) const;
  // One value; empty when the file, the section or the key is absent.
  std::string ReadString(std::string_view section, std::string_view key) const;

  // Sets the entries in section, in their order, in one save; the file is created by
  // the first. False, with the file as it was, when an entry cannot be written (see
  // TIniDocument::CanWrite), the folder is missing, or the file cannot be read or
  // replaced (read-only, a folder in its place, disk full).
  bool WriteStrings(std::string_view section, const IniEntries& entries) const;

 private:
  std::string FFileName;
};

}  // namespace qorv
