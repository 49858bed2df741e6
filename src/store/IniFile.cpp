#include "store/IniFile.h"

#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "store/StoreLock.h"

namespace qorv {

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TIniFile::LockFileName() const { return TStoreLock::LockFileName(FFileName); }

bool TIniFile::Load(TIniDocument& document) const {
  document = TIniDocument();
  if (!platform::FileExists(FFileName)) return false;
  // Readers take turns with writers where a writer made the lock file, and create none.
  const TStoreLock lock(FFileName, TStoreLock::Mode::Read);
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
  const TStoreLock lock(FFileName, TStoreLock::Mode::Change);
  if (!lock.Held()) return false;
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
