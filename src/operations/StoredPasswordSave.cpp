// SetCryptParams: records the user's password of a password-mode crypto type. No
// provider is involved.
#include <string>

#include "interface/CryptManage.h"
#include "operations/OperationHelpers.h"
#include "operations/StoredCredentials.h"
#include "util/Messages.h"

namespace qorv {

bool TCryptmanage::SetCryptParams(std::string& params) {
  if (!CheckConfig(params) || !RequirePasswordMode(params) || !UserMayUseStores(*this, params)) return false;
  if (!StoreNamesWritable({StoreType(), User()}, params)) return false;

  TPasswordParams stored(StoreType(), User());
  // A request without PassWord records the empty password.
  stored.TakeFromParams(params);
  if (!stored.SaveToIni()) {
    return Refuse(params, stored.LastStatus() == StoreStatus::PasswordTooLong ? msg::PasswordTooLongToStore()
                                                                              : msg::UserPasswordSaveFailed());
  }
  params = stored.PutToParams(params);
  return true;
}

}  // namespace qorv
