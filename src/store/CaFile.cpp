#include "store/CaFile.h"

#include <utility>

#include "store/CertFileInstall.h"
#include "store/IniFile.h"
#include "store/StoreLock.h"
#include "store/StoreNames.h"
#include "store/StorePaths.h"
#include "util/PathFunctions.h"

namespace qorv {

TCaFile::TCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair,
                 SectionKind kind)
    : FSection(std::move(section)),
      FCryptType(std::move(cryptType)),
      FHasSignPair(hasSignPair),
      FCaRoot(WithTrailingBackslash(caRoot)),
      FKind(kind) {}

std::string TCaFile::IniFileName() const { return CertificateSetFileName(FCaRoot, FCryptType); }

std::string TCaFile::CaDir() const { return CryptTypeDir(FCaRoot, FCryptType); }

std::string TCaFile::CertDir() const { return WithTrailingBackslash(CaDir() + FSection); }

bool TCaFile::NamesAreSafe() const {
  return IsSafeStoreName(FCryptType) && IsSafeStoreName(FSection) &&
         (FKind != SectionKind::User || !IsReservedUserName(FSection));
}

bool TCaFile::Fail(StoreStatus status, std::string subject) {
  FStatus = status;
  FStatusSubject = std::move(subject);
  return false;
}

bool TCaFile::BeginStoreOperation() {
  FStatus = StoreStatus::Ok;
  FStatusSubject.clear();
  return NamesAreSafe() || Fail(StoreStatus::UnsafeName);
}

void TCaFile::AdoptSectionSpelling(const TIniDocument& setFile) {
  std::string spelling = setFile.SectionName(FSection);
  if (!spelling.empty()) FSection = std::move(spelling);
}

bool TCaFile::PrepareInstall(TCertFileInstall& install, const std::vector<std::string*>& fields,
                             const std::function<IniEntries()>& entries, IniEntries& values) {
  for (std::string* field : fields) install.Add(field);
  if (!install.Plan(FStatus, FStatusSubject)) return false;
  install.PointFieldsAtCopies();
  values = entries();
  // A path that would not read back names no file once saved.
  for (const std::string* field : fields) {
    if (!TIniDocument::ReadsBackWhole(RelativeToHostAppDir(*field))) {
      std::string path = *field;
      install.PointFieldsAtSources();
      return Fail(StoreStatus::PathTooLong, std::move(path));
    }
  }
  return true;
}

bool TCaFile::InstallFiles(const std::vector<std::string*>& fields, const std::function<IniEntries()>& entries) {
  IniEntries values;
  {
    // Everything the request can get wrong fails here, before anything is created.
    TCertFileInstall check(CertDir());
    if (!PrepareInstall(check, fields, entries, values)) return false;
    check.PointFieldsAtSources();
  }
  // One step for the store's readers and writers: copies and record together.
  CreateDirPath(CaDir());
  const TStoreLock lock(IniFileName(), TStoreLock::Mode::Change);
  if (!lock.Held()) return Fail(StoreStatus::WriteFailed);
  // The section may have been saved meanwhile under another spelling: its folder is
  // the one to use.
  TIniDocument setFile;
  if (TIniFile(IniFileName()).Load(setFile)) AdoptSectionSpelling(setFile);
  TCertFileInstall install(CertDir());
  if (!PrepareInstall(install, fields, entries, values)) return false;
  if (!install.Place(FStatus, FStatusSubject)) {
    install.PointFieldsAtSources();
    return false;
  }
  if (!WriteSection(values)) {
    install.Undo();
    install.PointFieldsAtSources();
    return false;
  }
  install.Keep();
  return true;
}

bool TCaFile::WriteSection(const IniEntries& entries) {
  CreateDirPath(CaDir());
  if (TIniFile(IniFileName()).WriteStrings(FSection, entries)) return true;
  return Fail(StoreStatus::WriteFailed);
}

}  // namespace qorv
