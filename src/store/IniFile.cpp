#include "store/IniFile.h"

#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/FileSystem.h"

namespace qorv {

using platform::FileLock;

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::LockFileName() const { return FFileName + ".lock"; }

bool TIniFile::Load(TIniDocument& document) const {
  document = TIniDocument();
  if (!platform::FileExists(FFileName)) return false;
  // Readers take turns with writers so that Windows never finds the file open while it
  // is replaced. Where no lock file can be made (a read-only folder) no one can write
  // either, and the file is read as it is.
  FileLock lock;
  lock.Acquire(LockFileName(), FileLock::Mode::Shared);
  std::string bytes;
  if (!platform::ReadWholeFile(FFileName, bytes)) return false;
  document = TIniDocument(bytes);
  return true;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key) const {
  TIniDocument document;
  Load(document);
  return document.Read(section, key);
}

bool TIniFile::WriteStrings(std::string_view section, const IniEntries& entries) const {
  for (const auto& [key, value] : entries) {
    if (!TIniDocument::CanWrite(section, key, value)) return false;
  }
  FileLock lock;
  if (!lock.Acquire(LockFileName(), FileLock::Mode::Exclusive)) return false;
  TIniDocument document;
  if (platform::FileExists(FFileName)) {
    // An unreadable file must not be replaced by one that holds only these entries.
    std::string bytes;
    if (!platform::ReadWholeFile(FFileName, bytes)) return false;
    document = TIniDocument(bytes);
  }
  for (const auto& [key, value] : entries) document.Write(section, key, value);
  return platform::WriteFileAtomically(FFileName, document.Text());
}

}  // namespace qorv
