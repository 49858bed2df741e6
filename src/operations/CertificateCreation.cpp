// CreateCAFile: the provider creates the user's certificate files and its reply goes
// back to the caller whole.
#include <string>

#include "interface/CryptManage.h"
#include "interface/ParamString.h"
#include "operations/ProviderCallSequence.h"
#include "operations/StoredCredentials.h"

namespace qorv {

bool TCryptmanage::CreateCAFile(std::string& params) {
  if (!CheckConfig(params) || !RequireCertificateFiles(params) || !UserMayUseStores(*this, params)) return false;
  if (!StoreNamesAreSafe({StoreType(), User()}, params)) return false;

  // The provider gets the stored set as the set file names it, for its whole call.
  const StoreHold hold(*this, TStoreLock::Mode::Read);
  ProviderRequest request;
  // The stored set's keys replace the request's, empty ones included.
  request.init = TUserCaFile(StoreType(), User(), HasTwoPairs()).PutToParams(params);
  request.init = SetParamValue(request.init, "User", User());
  request.init = Config().AppendDescription(request.init);
  request.operation = &TCryptDll::CreateCAFile;
  request.operationText = SetParamValue("", "User", User());
  request.onSuccess = [](const std::string& reply, std::string& callerParams) {
    callerParams = reply;
    return true;
  };
  return RunProviderSequence(Config(), request, params);
}

}  // namespace qorv
