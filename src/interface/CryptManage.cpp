#include "interface/CryptManage.h"

#include <utility>

#include "interface/ParamString.h"
#include "util/Messages.h"

namespace qorv {
namespace {

bool Refuse(std::string& params, const std::string& message) {
  params = SetParamValue(params, "ResultMsgStr", message);
  return false;
}

}  // namespace

TCryptmanage::TCryptmanage(std::string cryptType, std::string configFile, std::string user)
    : FCryptType(std::move(cryptType)), FConfigFile(std::move(configFile)), FUser(std::move(user)) {
  FConfig = std::make_unique<TCryptConfig>(FConfigFile, FCryptType);
}

bool TCryptmanage::CheckConfig(std::string& params) const {
  return FConfig->FErrorMsg.empty() || Refuse(params, FConfig->FErrorMsg);
}

bool TCryptmanage::HasKeyFiles(const std::string& params, bool needSign) {
  if (GetParamValue(params, "EncKeyFile").empty()) return false;
  return !needSign || !GetParamValue(params, "SignKeyFile").empty();
}

bool TCryptmanage::RequireCertificateMode(std::string& params) const {
  return IsCertificateMode() || Refuse(params, msg::CertificateModeRequired());
}

bool TCryptmanage::RequireCertificateFiles(std::string& params) const {
  return (IsCertificateMode() && FConfig->FCAMode != "0") || Refuse(params, msg::CertificateFilesRequired());
}

bool TCryptmanage::RequirePasswordMode(std::string& params) const {
  return IsPasswordMode() || Refuse(params, msg::PasswordModeRequired());
}

}  // namespace qorv
