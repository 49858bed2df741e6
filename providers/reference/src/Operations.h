// The provider's operations. Each takes the parameter strings of the running call
// sequence (InitCrypt's and the operation's own), fails by throwing Failure, and
// returns the reply where the contract has one.
#pragma once

#include <string>

#include "ParamText.h"

namespace qorv_ref {

struct CallStrings {
  std::string init;  // InitCrypt's string: credentials, User, the crypto type description
  std::string op;    // the operation's own string

  // Extension parameters reach both strings for Encrypt and Decrypt and only InitCrypt
  // for the others: the operation's own value wins.
  std::string Param(const std::string& name) const {
    std::string value = GetParam(op, name);
    return value.empty() ? GetParam(init, name) : value;
  }
  std::string Init(const std::string& name) const { return GetParam(init, name); }
  bool TwoPairs() const { return Init("CAISMULTI") == "1"; }
};

void EncryptFile(const CallStrings& call);
void DecryptFile(const CallStrings& call);

std::string CreateCertificateFiles(const CallStrings& call);
void ChangeKeyPasswords(const CallStrings& call);
void ValidateCertificates(const CallStrings& call);

}  // namespace qorv_ref
