#include "operations/ProviderCallSequence.h"

#include "QorvCryptProvider.h"
#include "interface/ParamString.h"
#include "util/Messages.h"
#include "util/PathFunctions.h"
#include "util/TextLimit.h"

namespace qorv {
namespace {

// Passes on the provider's message, present and empty when it gave none. Escaping can
// make a byte five: the message is cut first, so that the reply grows by a known bound.
void TakeProviderMessage(const std::string& providerParams, std::string& callerParams) {
  const std::string message = GetParamValue(providerParams, "ResultMsgStr");
  callerParams = SetParamValue(callerParams, "ResultMsgStr",
                               CutBetweenCharacters(message, QORVCRYPT_PROVIDER_MESSAGE_MAX, MessageEncoding()));
}

}  // namespace

std::string WithExtParams(const TCryptConfig& config, std::string params) {
  for (const std::string& line : config.FExtParams) {
    const size_t equals = line.find('=');
    params = SetParamValue(params, line.substr(0, equals), equals == std::string::npos ? "" : line.substr(equals + 1));
  }
  return params;
}

bool RunProviderSequence(const TCryptConfig& config, ProviderRequest& request, std::string& callerParams) {
  TCryptDll dll(config.FLibPath);
  if (!dll.IsLoaded()) {
    callerParams = SetParamValue(callerParams, "ResultMsgStr", msg::ProviderLoadFailed(FullPath(config.FLibPath)));
    return false;
  }
  if (request.reapplyExtParams) request.init = WithExtParams(config, request.init);
  if (!dll.InitCrypt(request.init)) {
    TakeProviderMessage(request.init, callerParams);
    return false;
  }

  bool ok = (dll.*request.operation)(request.operationText);
  if (request.replyWhole) {
    callerParams = request.operationText;
  } else if (ok) {
    if (request.onSuccess) ok = request.onSuccess(request.operationText, callerParams);
  } else {
    TakeProviderMessage(request.operationText, callerParams);
  }
  std::string final;
  dll.FinalCrypt(final);
  return ok;
}

}  // namespace qorv
