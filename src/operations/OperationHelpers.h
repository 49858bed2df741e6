// Small steps shared by the operations that install credentials or take key files from
// the request.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "config/CryptConfig.h"
#include "interface/CryptManage.h"
#include "operations/StoredCredentials.h"

namespace qorv {

// Sets message under ResultMsgStr in params and gives false.
bool Refuse(std::string& params, const std::string& message);

// False, with the unsafe-name message under ResultMsgStr, unless every name can name a
// store folder and section. Stricter than reading: an empty user has no section to
// write to.
bool StoreNamesWritable(std::initializer_list<std::string> names, std::string& params);

// params with RootCertFile set to the crypto type's ROOTCERTFILE, in full form, when
// its own value is blank.
std::string WithDefaultRootCert(const TCryptConfig& config, const std::string& params);

// The message for a failed save of a certificate record: the record's own reason where
// the caller can act on it (a file that is no regular file or too large, a value too
// long to store), otherwise the operation's message.
std::string SaveFailureMessage(const TCaFile& record, const std::string& otherwise);

// The key files a provider is to work on, as the start of its initialisation string:
// the request's own when it names them, or else the user's stored set, read and used
// under the store's lock, which hold then keeps. False, with missingMessage (or the
// unsafe-name message) in params, when the stored set is needed but incomplete.
// fromStore tells which was taken.
bool KeyFilesForProvider(const TCryptmanage& manager, std::string& params, const std::string& missingMessage,
                         std::string& init, bool& fromStore, std::optional<StoreHold>& hold);

}  // namespace qorv
