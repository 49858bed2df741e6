// A user's certificate set: root certificate, encryption certificate, key and key
// password and, with a signing pair, signing certificate, key and key password. Paths
// are kept relative to the host program's folder, passwords scrambled.
#pragma once

#include <string>

#include "store/CaFile.h"

namespace qorv {

class TUserCaFile : public TCaFile {
 public:
  // Loads the user's set from the certificate set file below caRoot (ModuleDir() in
  // production); a missing file or unsafe name leaves the set empty.
  TUserCaFile(const std::string& caRoot, std::string cryptType, std::string user, bool hasSignPair);
  TUserCaFile(std::string cryptType, std::string user, bool hasSignPair);
  // The set as found in setFile: the certificate set file below ModuleDir() as the
  // caller read it, null when there is none. One read then serves several records.
  TUserCaFile(std::string cryptType, std::string user, bool hasSignPair, const TIniDocument* setFile);

  bool LoadFromIni() override;
  // The encryption certificate and key (and, with a signing pair, the signing ones) are
  // named and exist; the root certificate and passwords are not looked at.
  bool FilesPresent() const override;
  bool SaveToIni() override;
  std::string PutToParams(const std::string& params) const override;
  void TakeFromParams(const std::string& params) override;

  // Stores new key passwords only, in one save: "EncKeyPwd" and, with a signing pair,
  // "SignKeyPwd". False, with LastStatus saying why and the file as it was, when a name
  // is unsafe, a password is too long to read back whole or the save fails.
  bool SavePasswords(const std::string& encKeyPwd, const std::string& signKeyPwd);

  std::string FRootCertFile;
  std::string FEncCertFile;
  std::string FSignCertFile;
  std::string FEncKeyFile;
  std::string FSignKeyFile;
  std::string FEncKeyPwd;
  std::string FSignKeyPwd;

 private:
  void ReadSection(const TIniDocument& setFile);
};

}  // namespace qorv
