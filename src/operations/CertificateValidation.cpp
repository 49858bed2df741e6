// ValidateCert: the provider validates the user's certificates, named by the request
// or by the stored set.
#include <optional>
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/OperationHelpers.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"
#include "util/Messages.h"

namespace qorv {

bool TCryptmanage::ValidateCert(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateMode(params) || !UserMayUseStores(*this, params)) return false;

  ProviderRequest request;
  request.init = params;
  // USB-key mode hands the request over as it came; every other CAMODE validates key
  // files, the request's own or else the stored set's alone, held as stored for the
  // provider's whole call.
  bool fromStore = false;
  std::optional<StoreHold> hold;
  if (Config().FCAMode != "0" &&
      !KeyFilesForProvider(*this, params, msg::ValidationCertificateMissing(), request.init, fromStore, hold)) {
    return false;
  }
  request.init = SetParamValue(request.init, "User", User());
  request.init = Config().AppendDescription(request.init);
  request.operation = &TCryptDll::ValidateCert;
  return RunProviderSequence(Config(), request, params);
}

}  // namespace qorv
