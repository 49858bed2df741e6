#include "store/UserCaFile.h"

#include <utility>
#include <vector>

#include "interface/ParamString.h"
#include "platform/FileSystem.h"
#include "store/PasswordParams.h"
#include "store/StorePaths.h"
#include "util/PasswordScramble.h"
#include "util/PathFunctions.h"

namespace qorv {
namespace {

bool Present(const std::string& path) { return !path.empty() && platform::FileExists(path); }

}  // namespace

TUserCaFile::TUserCaFile(const std::string& caRoot, std::string cryptType, std::string user, bool hasSignPair)
    : TCaFile(caRoot, std::move(cryptType), std::move(user), hasSignPair, SectionKind::User) {
  LoadFromIni();
}

TUserCaFile::TUserCaFile(std::string cryptType, std::string user, bool hasSignPair)
    : TUserCaFile(ModuleDir(), std::move(cryptType), std::move(user), hasSignPair) {}

TUserCaFile::TUserCaFile(std::string cryptType, std::string user, bool hasSignPair, const TIniDocument* setFile)
    : TCaFile(ModuleDir(), std::move(cryptType), std::move(user), hasSignPair, SectionKind::User) {
  if (BeginStoreOperation() && setFile != nullptr) ReadSection(*setFile);
}

bool TUserCaFile::LoadFromIni() {
  if (!BeginStoreOperation()) return false;
  TIniDocument ini;
  if (!TIniFile(IniFileName()).Load(ini)) return false;
  ReadSection(ini);
  return true;
}

void TUserCaFile::ReadSection(const TIniDocument& ini) {
  AdoptSectionSpelling(ini);
  FRootCertFile = FullStoredPath(ini.Read(FSection, "RootCertFile"));
  FEncCertFile = FullStoredPath(ini.Read(FSection, "EncCertFile"));
  FEncKeyFile = FullStoredPath(ini.Read(FSection, "EncKeyFile"));
  FEncKeyPwd = UnscramblePassword(ini.Read(FSection, "EncKeyPwd"));
  if (FHasSignPair) {
    FSignCertFile = FullStoredPath(ini.Read(FSection, "SignCertFile"));
    FSignKeyFile = FullStoredPath(ini.Read(FSection, "SignKeyFile"));
    FSignKeyPwd = UnscramblePassword(ini.Read(FSection, "SignKeyPwd"));
  }
}

bool TUserCaFile::FilesPresent() const {
  return Present(FEncCertFile) && Present(FEncKeyFile) &&
         (!FHasSignPair || (Present(FSignCertFile) && Present(FSignKeyFile)));
}

bool TUserCaFile::SaveToIni() {
  if (!BeginStoreOperation()) return false;
  if (!TPasswordParams::FitsTheStore(FEncKeyPwd) || (FHasSignPair && !TPasswordParams::FitsTheStore(FSignKeyPwd))) {
    return Fail(StoreStatus::PasswordTooLong);
  }
  std::vector<std::string*> fields = {&FRootCertFile, &FEncCertFile, &FEncKeyFile};
  if (FHasSignPair) fields.insert(fields.end(), {&FSignCertFile, &FSignKeyFile});
  return InstallFiles(fields, [this] {
    IniEntries entries = {
        {"RootCertFile", RelativeToHostAppDir(FRootCertFile)},
        {"EncCertFile", RelativeToHostAppDir(FEncCertFile)},
        {"EncKeyFile", RelativeToHostAppDir(FEncKeyFile)},
        {"EncKeyPwd", ScramblePassword(FEncKeyPwd)},
    };
    if (FHasSignPair) {
      entries.push_back({"SignCertFile", RelativeToHostAppDir(FSignCertFile)});
      entries.push_back({"SignKeyFile", RelativeToHostAppDir(FSignKeyFile)});
      entries.push_back({"SignKeyPwd", ScramblePassword(FSignKeyPwd)});
    }
    return entries;
  });
}

std::string TUserCaFile::PutToParams(const std::string& params) const {
  std::string result = SetParamValue(params, "RootCertFile", FullPath(FRootCertFile));
  result = SetParamValue(result, "EncCertFile", FullPath(FEncCertFile));
  result = SetParamValue(result, "EncKeyFile", FullPath(FEncKeyFile));
  result = SetParamValue(result, "EncKeyPwd", FEncKeyPwd);
  if (FHasSignPair) {
    result = SetParamValue(result, "SignCertFile", FullPath(FSignCertFile));
    result = SetParamValue(result, "SignKeyFile", FullPath(FSignKeyFile));
    result = SetParamValue(result, "SignKeyPwd", FSignKeyPwd);
  }
  return result;
}

void TUserCaFile::TakeFromParams(const std::string& params) {
  FRootCertFile = FullPath(GetParamValue(params, "RootCertFile"));
  FEncCertFile = FullPath(GetParamValue(params, "EncCertFile"));
  FEncKeyFile = FullPath(GetParamValue(params, "EncKeyFile"));
  FEncKeyPwd = GetParamValue(params, "EncKeyPwd");
  if (FHasSignPair) {
    FSignCertFile = FullPath(GetParamValue(params, "SignCertFile"));
    FSignKeyFile = FullPath(GetParamValue(params, "SignKeyFile"));
    FSignKeyPwd = GetParamValue(params, "SignKeyPwd");
  }
}

bool TUserCaFile::SavePasswords(const std::string& encKeyPwd, const std::string& signKeyPwd) {
  if (!BeginStoreOperation()) return false;
  if (!TPasswordParams::FitsTheStore(encKeyPwd) || (FHasSignPair && !TPasswordParams::FitsTheStore(signKeyPwd))) {
    return Fail(StoreStatus::PasswordTooLong);
  }
  FEncKeyPwd = encKeyPwd;
  IniEntries entries = {{"EncKeyPwd", ScramblePassword(encKeyPwd)}};
  if (FHasSignPair) {
    FSignKeyPwd = signKeyPwd;
    entries.push_back({"SignKeyPwd", ScramblePassword(signKeyPwd)});
  }
  return WriteSection(entries);
}

}  // namespace qorv
