// Certificates and keys for the tests, made with OpenSSL directly: a root, the pairs
// of a user and of the server, and the faulty ones the checks must refuse.
#pragma once

#include <string>

#include "Ossl.h"

namespace qorv_ref::test {

constexpr const char* kEncryptionUsage = "critical,keyEncipherment,keyAgreement";
constexpr const char* kSigningUsage = "critical,digitalSignature,nonRepudiation";

PkeyPtr NewEcKey();
PkeyPtr NewRsaKey();

struct CertSpec {
  std::string commonName;
  const char* keyUsage = nullptr;  // none: no keyUsage extension
  bool ca = false;
  long notBeforeOffset = -60;  // seconds from now
  long notAfterOffset = 24 * 3600;
};

// Issued by issuer, or self-signed when issuer is null.
X509Ptr MakeCert(EVP_PKEY* subjectKey, const CertSpec& spec, X509* issuer, EVP_PKEY* issuerKey);

void WriteCertPem(const std::string& path, X509* cert);
// Encrypted PKCS#8, as another tool would write it.
void WriteKeyPem(const std::string& path, EVP_PKEY* key, const std::string& password);

// A CA with its key, written to <folder>/<name>.crt.
struct Authority {
  PkeyPtr key;
  X509Ptr cert;
  std::string certPath;
};
Authority MakeAuthority(const std::string& folder, const std::string& name, long notAfterOffset = 24 * 3600);

// A certificate/key pair on disk.
struct PairFiles {
  std::string cert;
  std::string key;
  std::string password;
};
PairFiles IssuePair(const std::string& folder, const std::string& name, const Authority& ca, EVP_PKEY* key,
                    const CertSpec& spec, const std::string& password);

}  // namespace qorv_ref::test
