// The stored password of a password-mode crypto type: key "PassWord" in the user's
// section of the crypto type's certificate set file, scrambled.
#pragma once

#include <string>
#include <string_view>

#include "store/StoreStatus.h"

namespace qorv {

class TPasswordParams {
 public:
  // Loads the user's password from the certificate set file below caRoot (ModuleDir()
  // in production); a missing file or unsafe name leaves it empty.
  TPasswordParams(const std::string& caRoot, std::string cryptType, std::string user);
  TPasswordParams(std::string cryptType, std::string user);

  // False when the file does not exist (FPassword untouched) or a name is unsafe. A
  // section found under another spelling of FSection (letter case) becomes FSection.
  bool LoadFromIni();
  // Creates CaDir and stores FPassword. False, with LastStatus saying why and the file
  // as it was, when a name is unsafe or the password too long to read back whole
  // (nothing is created), or the save fails.
  bool SaveToIni();
  // params with "PassWord" set to the plain password.
  std::string PutToParams(const std::string& params) const;
  // FPassword = the value under "PassWord", empty when absent.
  void TakeFromParams(const std::string& params);

  std::string IniFileName() const;
  std::string CaDir() const;
  // Why the last LoadFromIni or SaveToIni failed; Ok after success and after a load that
  // found no file.
  StoreStatus LastStatus() const { return FStatus; }
  // The crypto type and the user can name a store and a user's section (StoreNames.h).
  bool NamesAreSafe() const;
  // Whether a password's stored form reads back whole: at most 958 bytes.
  static bool FitsTheStore(std::string_view password);

  std::string FSection;
  std::string FCryptType;
  std::string FPassword;

 private:
  std::string FCaRoot;
  StoreStatus FStatus = StoreStatus::Ok;
};

}  // namespace qorv
