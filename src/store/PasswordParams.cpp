#include "store/PasswordParams.h"

#include <utility>

#include "interface/ParamString.h"
#include "store/IniFile.h"
#include "store/StoreNames.h"
#include "store/StorePaths.h"
#include "util/PasswordScramble.h"
#include "util/PathFunctions.h"

namespace qorv {

TPasswordParams::TPasswordParams(const std::string& caRoot, std::string cryptType, std::string user)
    : FSection(std::move(user)), FCryptType(std::move(cryptType)), FCaRoot(WithTrailingBackslash(caRoot)) {
  LoadFromIni();
}

TPasswordParams::TPasswordParams(std::string cryptType, std::string user)
    : TPasswordParams(ModuleDir(), std::move(cryptType), std::move(user)) {}

std::string TPasswordParams::IniFileName() const { return CertificateSetFileName(FCaRoot, FCryptType); }

std::string TPasswordParams::CaDir() const { return CryptTypeDir(FCaRoot, FCryptType); }

bool TPasswordParams::NamesAreSafe() const {
  return IsSafeStoreName(FCryptType) && IsSafeStoreName(FSection) && !IsReservedUserName(FSection);
}

bool TPasswordParams::FitsTheStore(std::string_view password) {
  return TIniDocument::ReadsBackWhole(ScramblePassword(password));
}

bool TPasswordParams::LoadFromIni() {
  FStatus = NamesAreSafe() ? StoreStatus::Ok : StoreStatus::UnsafeName;
  if (FStatus != StoreStatus::Ok) return false;
  TIniDocument ini;
  if (!TIniFile(IniFileName()).Load(ini)) return false;
  std::string spelling = ini.SectionName(FSection);
  if (!spelling.empty()) FSection = std::move(spelling);
  FPassword = UnscramblePassword(ini.Read(FSection, "PassWord"));
  return true;
}

bool TPasswordParams::SaveToIni() {
  FStatus = NamesAreSafe() ? StoreStatus::Ok : StoreStatus::UnsafeName;
  if (FStatus != StoreStatus::Ok) return false;
  if (!FitsTheStore(FPassword)) {
    FStatus = StoreStatus::PasswordTooLong;
    return false;
  }
  CreateDirPath(CaDir());
  if (TIniFile(IniFileName()).WriteStrings(FSection, {{"PassWord", ScramblePassword(FPassword)}})) return true;
  FStatus = StoreStatus::WriteFailed;
  return false;
}

std::string TPasswordParams::PutToParams(const std::string& params) const {
  return SetParamValue(params, "PassWord", FPassword);
}

void TPasswordParams::TakeFromParams(const std::string& params) { FPassword = GetParamValue(params, "PassWord"); }

}  // namespace qorv
