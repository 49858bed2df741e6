// Certificates and private keys on disk: reading them with a clear message for each
// way they can fail, writing keys as password-protected PKCS#8, making new ones.
#pragma once

#include <string>

#include "Ossl.h"

namespace qorv_ref {

// The whole content of a small file (a certificate, a key); `what` names it in messages.
std::string ReadSmallFile(const std::string& path, const std::string& what);

// PEM or DER.
X509Ptr LoadCertificate(const std::string& path, const std::string& what);

// Encrypted PKCS#8 (PEM or DER), or any unencrypted key OpenSSL reads. A wrong password
// has its own message where the format tells it apart from a damaged file.
PkeyPtr LoadPrivateKey(const std::string& path, const std::string& password, const std::string& what);

// PBKDF2 rounds of the key files the provider writes (KeyIterations): each open of a
// key pays them once. Key files read may ask for at most kMaxKeyIterations.
constexpr int kDefaultKeyIterations = 200000;
constexpr int kMinKeyIterations = 10000;
constexpr int kMaxKeyIterations = 1000000;

// PKCS#8 under PBES2: PBKDF2-HMAC-SHA256 with that many rounds and AES-256-CBC, PEM text.
std::string EncryptedKeyPem(EVP_PKEY* key, const std::string& password, int iterations);
std::string CertificatePem(X509* cert);

enum class KeyKind { Rsa, Ec };
PkeyPtr GenerateKey(KeyKind kind, int rsaBits);

struct CertProfile {
  std::string commonName;
  int days = 0;
  bool ca = false;
  std::string keyUsage;  // the keyUsage extension's value, e.g. "critical,digitalSignature"
};

// Issued by issuerCert/issuerKey, or self-signed by subjectKey when issuerCert is null.
X509Ptr IssueCertificate(EVP_PKEY* subjectKey, const CertProfile& profile, X509* issuerCert, EVP_PKEY* issuerKey);

}  // namespace qorv_ref
