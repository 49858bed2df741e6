// The object behind every export but GetCryptList: one configuration file, one crypto
// type and one user for the duration of one call, with one operation per export.
#pragma once

#include <memory>
#include <string>

#include "config/CryptConfig.h"

namespace qorv {

class TCryptmanage {
 public:
  // Reads the configuration at once; problems surface through CheckConfig.
  TCryptmanage(std::string cryptType, std::string configFile, std::string user);

  // False, with the configuration's message under ResultMsgStr, when the configuration
  // could not be read or does not hold the crypto type; params is untouched otherwise.
  bool CheckConfig(std::string& params) const;

  // Whether the caller's string names the private key files: EncKeyFile and, when
  // needSign, SignKeyFile too.
  static bool HasKeyFiles(const std::string& params, bool needSign);

  // Modes of the crypto type, compared as exact texts.
  bool IsCertificateMode() const { return FConfig->FMode == "1"; }
  bool IsPasswordMode() const { return FConfig->FMode == "2"; }
  bool HasTwoPairs() const { return FConfig->FCAIsMulti == "1"; }

  // Mode guards: false with the guard's message when the mode does not fit.
  bool RequireCertificateMode(std::string& params) const;
  bool RequireCertificateFiles(std::string& params) const;
  bool RequirePasswordMode(std::string& params) const;

  // Operations, one per export.
  bool Encrypt(const std::string& sourceFile, const std::string& targetFile, std::string& params);
  bool Decrypt(const std::string& sourceFile, const std::string& targetFile, std::string& params);
  bool GetCryptInfo(std::string& params);
  bool SetCaFile(std::string& params);
  bool SetRevenueCAFile(std::string& params);
  bool GetCertFile(std::string& params);
  bool CreateCAFile(std::string& params);
  bool ChangeCAPassword(std::string& params);
  bool ValidateCert(std::string& params);
  bool SetCryptParams(std::string& params);

  const TCryptConfig& Config() const { return *FConfig; }
  const std::string& CryptType() const { return FCryptType; }
  // The crypto type as its configuration entry names it, whatever the letter case the
  // caller used: the name its stores are kept under. Empty without an entry.
  const std::string& StoreType() const { return FConfig->FName; }
  const std::string& User() const { return FUser; }

 private:
  bool CryptFile(bool encrypt, const std::string& sourceFile, const std::string& targetFile, std::string& params);

  std::unique_ptr<TCryptConfig> FConfig;
  std::string FCryptType;
  std::string FConfigFile;
  std::string FUser;
};

}  // namespace qorv
