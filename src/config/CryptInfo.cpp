// GetCryptInfo: the crypto type's settings with the credentials stored for the user and
// the server. Reads the stores, calls no provider, writes nothing.
#include "interface/CryptManage.h"
#include "operations/StoredCredentials.h"

namespace qorv {

bool TCryptmanage::GetCryptInfo(std::string& params) {
  if (!CheckConfig(params) || !UserMayUseStores(*this, params)) return false;
  if (IsCertificateMode()) {
    if (!CertificateNamesAreSafe(*this, params)) return false;
    // One read of the set file, which is replaced whole: a consistent set.
    StoredCertificates stored(*this);
    params = stored.revenue.PutToParams(params);
    params = stored.user.PutToParams(params);
  } else if (IsPasswordMode()) {
    StoredPassword stored(*this);
    if (!stored.NamesAreSafe(params)) return false;
    params = stored.password.PutToParams(params);
  }
  params = Config().AppendDescription(params);
  return true;
}

}  // namespace qorv
