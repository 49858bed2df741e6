#include "TestPki.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <filesystem>
#include <stdexcept>

namespace qorv_ref::test {
namespace {

// With the system's separator, as the provider's own paths come back.
std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test PKI: ") + what);
}

void AddExt(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_nconf_nid(nullptr, &ctx, nid, value);
  Check(ext != nullptr && X509_add_ext(cert, ext, -1) == 1, "extension");
  X509_EXTENSION_free(ext);
}

}  // namespace

PkeyPtr NewEcKey() {
  PkeyPtr key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "EC key");
  return key;
}

PkeyPtr NewRsaKey() {
  PkeyPtr key(EVP_RSA_gen(2048));
  Check(key != nullptr, "RSA key");
  return key;
}

X509Ptr MakeCert(EVP_PKEY* subjectKey, const CertSpec& spec, X509* issuer, EVP_PKEY* issuerKey) {
  static long serial = 1000;
  X509Ptr cert(X509_new());
  Check(cert && X509_set_version(cert.get(), X509_VERSION_3) == 1, "version");
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), ++serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), spec.notBeforeOffset);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), spec.notAfterOffset);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(spec.commonName.c_str()),
                             -1, -1, 0);
  X509* signer = issuer ? issuer : cert.get();
  Check(X509_set_issuer_name(cert.get(), X509_get_subject_name(signer)) == 1, "issuer");
  Check(X509_set_pubkey(cert.get(), subjectKey) == 1, "public key");
  AddExt(cert.get(), signer, NID_basic_constraints, spec.ca ? "critical,CA:TRUE" : "critical,CA:FALSE");
  if (spec.keyUsage != nullptr) AddExt(cert.get(), signer, NID_key_usage, spec.keyUsage);
  Check(X509_sign(cert.get(), issuer ? issuerKey : subjectKey, EVP_sha256()) > 0, "signature");
  return cert;
}

void WriteCertPem(const std::string& path, X509* cert) {
  BioPtr out(BIO_new_file(path.c_str(), "wb"));
  Check(out && PEM_write_bio_X509(out.get(), cert) == 1, "writing a certificate");
}

void WriteKeyPem(const std::string& path, EVP_PKEY* key, const std::string& password) {
  BioPtr out(BIO_new_file(path.c_str(), "wb"));
  Check(out && PEM_write_bio_PKCS8PrivateKey(out.get(), key, EVP_aes_256_cbc(), password.c_str(),
                                             static_cast<int>(password.size()), nullptr, nullptr) == 1,
        "writing a key");
}

Authority MakeAuthority(const std::string& folder, const std::string& name, long notAfterOffset) {
  Authority ca;
  ca.key = NewEcKey();
  CertSpec spec{name, "critical,keyCertSign,cRLSign", true};
  spec.notAfterOffset = notAfterOffset;
  ca.cert = MakeCert(ca.key.get(), spec, nullptr, nullptr);
  ca.certPath = InFolder(folder, name + ".crt");
  WriteCertPem(ca.certPath, ca.cert.get());
  return ca;
}

PairFiles IssuePair(const std::string& folder, const std::string& name, const Authority& ca, EVP_PKEY* key,
                    const CertSpec& spec, const std::string& password) {
  PairFiles files{InFolder(folder, name + ".crt"), InFolder(folder, name + ".key"), password};
  X509Ptr cert = MakeCert(key, spec, ca.cert.get(), ca.key.get());
  WriteCertPem(files.cert, cert.get());
  WriteKeyPem(files.key, key, password);
  return files;
}

}  // namespace qorv_ref::test
