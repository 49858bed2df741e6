#include "store/CaFile.h"

#include <utility>

#include "platform/FileSystem.h"
#include "platform/PathServices.h"
#include "store/IniFile.h"
#include "store/StoreNames.h"
#include "store/StorePaths.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {

TCaFile::TCaFile(const std::string& caRoot, std::string cryptType, std::string section, bool hasSignPair)
    : FSection(std::move(section)),
      FCryptType(std::move(cryptType)),
      FHasSignPair(hasSignPair),
      FCaRoot(WithTrailingBackslash(caRoot)) {}

std::string TCaFile::IniFileName() const { return CertificateSetFileName(FCaRoot, FCryptType); }

std::string TCaFile::CaDir() const { return CryptTypeDir(FCaRoot, FCryptType); }

std::string TCaFile::CertDir() const { return WithTrailingBackslash(CaDir() + FSection); }

bool TCaFile::NamesAreSafe() const { return IsSafeStoreName(FCryptType) && IsSafeStoreName(FSection); }

bool TCaFile::BeginStoreOperation() {
  FStatus = NamesAreSafe() ? StoreStatus::Ok : StoreStatus::UnsafeName;
  return FStatus == StoreStatus::Ok;
}

bool TCaFile::WriteSection(const IniEntries& entries) {
  CreateDirPath(CaDir());
  if (TIniFile(IniFileName()).WriteStrings(FSection, entries)) return true;
  FStatus = StoreStatus::WriteFailed;
  return false;
}

bool TCaFile::ImportCertFile(std::string& pathField, const std::string& certDir) {
  FStatus = StoreStatus::Ok;
  if (pathField.empty()) return true;
  if (!platform::FileExists(pathField)) {
    FStatus = StoreStatus::FileMissing;
    return false;
  }
  if (!DirPresent(certDir)) CreateDirPath(certDir);
  const std::string target = certDir + FileNamePart(pathField, HostPathRules());
  // Letter case counts where the file system says it does.
  if (SamePathText(FullPath(target), FullPath(pathField), HostPathRules())) return true;
  if (platform::FileExists(target)) platform::MakeFileNormal(target);
  if (!platform::CopyFileReplacing(pathField, target)) {
    FStatus = StoreStatus::CopyFailed;
    return false;
  }
  pathField = target;
  return true;
}

}  // namespace qorv
