// The certificate material the provider tests share, made once per test program.
#pragma once

#include <string>

#include "ProviderCalls.h"
#include "TestPki.h"

namespace qorv_ref::test {

struct Material {
  Material();

  TempFolder dir;
  Authority root;
  Authority otherRoot;
  PairFiles userEnc;    // the user's encryption pair, issued by root
  PairFiles userSign;   // the user's signing pair, issued by root
  PairFiles server;     // the server's encryption pair (RSA), issued by root
  PairFiles stranger;   // another user's encryption pair, issued by root
  PairFiles foreignSign;  // a signing pair issued by otherRoot
  std::string keyFile;     // 32 raw bytes
  std::string hexKeyFile;  // the same key as hexadecimal text
  std::string otherKeyFile;
};

const Material& Shared();

// InitCrypt's string in certificate mode, as the host builds it.
std::string CertInit(bool twoPairs);

}  // namespace qorv_ref::test
