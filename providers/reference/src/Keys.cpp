#include "Keys.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "Failure.h"
#include "Messages.h"
#include "platform/FileSystem.h"

namespace qorv_ref {
namespace {

// Certificates and keys are a few kilobytes; anything far larger is not one.
constexpr size_t kSmallFileLimit = 1 << 20;
// What a key file may ask for when it is opened: above the rounds other tools use
// (600,000 is a common choice), far below what would hold a call for minutes.
constexpr uint64_t kMaxKeyFileIterations = kMaxKeyIterations;
// scrypt-protected keys: the memory and the work of the password mode's former default
// (N = 2^16, r = 8, p = 1) at most.
constexpr uint64_t kMaxScryptMemory = 64ull << 20;
constexpr uint64_t kMaxScryptWork = (1ull << 16) * 8;

using SigPtr = std::unique_ptr<X509_SIG, OsslDeleter<X509_SIG, X509_SIG_free>>;
using P8InfoPtr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslDeleter<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, OsslDeleter<X509_EXTENSION, X509_EXTENSION_free>>;
using BnPtr = std::unique_ptr<BIGNUM, OsslDeleter<BIGNUM, BN_free>>;
using Pbe2Ptr = std::unique_ptr<PBE2PARAM, OsslDeleter<PBE2PARAM, PBE2PARAM_free>>;
using Pbkdf2Ptr = std::unique_ptr<PBKDF2PARAM, OsslDeleter<PBKDF2PARAM, PBKDF2PARAM_free>>;
using ScryptPtr = std::unique_ptr<SCRYPT_PARAMS, OsslDeleter<SCRYPT_PARAMS, SCRYPT_PARAMS_free>>;
using PbePtr = std::unique_ptr<PBEPARAM, OsslDeleter<PBEPARAM, PBEPARAM_free>>;

// Hands the caller's password to OpenSSL, so that it never prompts on a terminal.
int GivePassword(char* buf, int size, int /*rwflag*/, void* user) {
  const auto* password = static_cast<const std::string*>(user);
  if (password == nullptr || password->size() > static_cast<size_t>(size)) return -1;
  std::memcpy(buf, password->data(), password->size());
  return static_cast<int>(password->size());
}

BioPtr MemoryBio(const std::string& bytes) {
  BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  if (!bio) throw std::bad_alloc();
  return bio;
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(size));
}

bool LooksLikePem(const std::string& bytes) { return bytes.find("-----BEGIN ") != std::string::npos; }

// The encrypted PKCS#8 container, when the file holds one.
SigPtr ReadEncryptedPkcs8(const std::string& bytes) {
  BioPtr bio = MemoryBio(bytes);
  if (LooksLikePem(bytes)) return SigPtr(PEM_read_bio_PKCS8(bio.get(), nullptr, nullptr, nullptr));
  return SigPtr(d2i_PKCS8_bio(bio.get(), nullptr));
}

// A non-negative integer of at most 64 bits; false for anything else.
bool SmallInteger(const ASN1_INTEGER* value, uint64_t& out) {
  return value != nullptr && ASN1_INTEGER_get_uint64(&out, value) == 1;
}

bool IterationsAllowed(const ASN1_INTEGER* iterations) {
  uint64_t count = 0;
  // Absent means one round.
  return iterations == nullptr || (SmallInteger(iterations, count) && count <= kMaxKeyFileIterations);
}

// True when opening the key costs no more than the bounds: the key derivation's
// parameters come from the file and would otherwise set the cost of the call.
bool KeyCostAllowed(const X509_SIG* sealed) {
  const X509_ALGOR* algorithm = nullptr;
  X509_SIG_get0(sealed, &algorithm, nullptr);
  if (algorithm == nullptr) return false;
  const int nid = OBJ_obj2nid(algorithm->algorithm);
  if (nid != NID_pbes2) {
    // PKCS#5 v1 and PKCS#12 schemes: a salt and an iteration count.
    PbePtr pbe(static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algorithm->parameter)));
    return pbe && IterationsAllowed(pbe->iter);
  }
  Pbe2Ptr pbe2(static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
  if (!pbe2 || pbe2->keyfunc == nullptr) return false;
  const int kdf = OBJ_obj2nid(pbe2->keyfunc->algorithm);
  if (kdf == NID_id_pbkdf2) {
    Pbkdf2Ptr pbkdf2(static_cast<PBKDF2PARAM*>(
        ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter)));
    return pbkdf2 && IterationsAllowed(pbkdf2->iter);
  }
  if (kdf == NID_id_scrypt) {
    ScryptPtr scrypt(static_cast<SCRYPT_PARAMS*>(
        ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(SCRYPT_PARAMS), pbe2->keyfunc->parameter)));
    uint64_t n = 0, r = 0, p = 0;
    if (!scrypt || !SmallInteger(scrypt->costParameter, n) || !SmallInteger(scrypt->blockSize, r) ||
        !SmallInteger(scrypt->parallelizationParameter, p) || n == 0 || r == 0 || p == 0) {
      return false;
    }
    return n <= kMaxScryptWork && r <= kMaxScryptWork && p <= kMaxScryptWork && 128 * r * n <= kMaxScryptMemory &&
           n * r * p <= kMaxScryptWork;
  }
  return false;  // no other key derivation is known to OpenSSL's PKCS#8 code
}

void AddExtension(X509* cert, X509V3_CTX* ctx, int nid, const std::string& value) {
  ExtPtr ext(X509V3_EXT_nconf_nid(nullptr, ctx, nid, value.c_str()));
  if (!ext || X509_add_ext(cert, ext.get(), -1) != 1) Fail(msg::IssueFailed());
}

void SetRandomSerial(X509* cert) {
  unsigned char raw[16];
  if (RAND_bytes(raw, sizeof raw) != 1) Fail(msg::IssueFailed());
  raw[0] = static_cast<unsigned char>((raw[0] & 0x7F) | 0x40);  // positive, full length
  BnPtr bn(BN_bin2bn(raw, sizeof raw, nullptr));
  if (!bn || BN_to_ASN1_INTEGER(bn.get(), X509_get_serialNumber(cert)) == nullptr) Fail(msg::IssueFailed());
}

}  // namespace

std::string ReadSmallFile(const std::string& path, const std::string& what) {
  std::string bytes;
  switch (platform::ReadWholeFile(path, kSmallFileLimit, bytes)) {
    case platform::ReadResult::Ok: break;
    case platform::ReadResult::Missing: Fail(msg::FileMissing(what, path));
    case platform::ReadResult::Unreadable: Fail(msg::FileUnreadable(what, path));
  }
  return bytes;
}

X509Ptr LoadCertificate(const std::string& path, const std::string& what) {
  const std::string bytes = ReadSmallFile(path, what);
  BioPtr bio = MemoryBio(bytes);
  X509Ptr cert(LooksLikePem(bytes) ? PEM_read_bio_X509(bio.get(), nullptr, GivePassword, nullptr)
                                   : d2i_X509_bio(bio.get(), nullptr));
  if (!cert) Fail(msg::NotACertificate(what, path));
  return cert;
}

PkeyPtr LoadPrivateKey(const std::string& path, const std::string& password, const std::string& what) {
  std::string bytes = ReadSmallFile(path, what);
  struct Wipe {
    std::string& s;
    ~Wipe() { OPENSSL_cleanse(s.data(), s.size()); }
  } wipe{bytes};

  if (SigPtr sealed = ReadEncryptedPkcs8(bytes)) {
    if (!KeyCostAllowed(sealed.get())) Fail(msg::KeyCostTooHigh(what, path));
    P8InfoPtr info(PKCS8_decrypt(sealed.get(), password.c_str(), static_cast<int>(password.size())));
    if (!info) Fail(msg::KeyWrongPassword(what, path));
    PkeyPtr key(EVP_PKCS82PKEY(info.get()));
    if (!key) Fail(msg::NotAKey(what, path));
    return key;
  }
  ERR_clear_error();
  // Unencrypted PKCS#8 and the older formats.
  BioPtr bio = MemoryBio(bytes);
  std::string pass = password;
  PkeyPtr key(LooksLikePem(bytes) ? PEM_read_bio_PrivateKey(bio.get(), nullptr, GivePassword, &pass)
                                  : d2i_PrivateKey_bio(bio.get(), nullptr));
  OPENSSL_cleanse(pass.data(), pass.size());
  if (!key) Fail(msg::NotAKey(what, path));
  return key;
}

std::string EncryptedKeyPem(EVP_PKEY* key, const std::string& password, int iterations) {
  P8InfoPtr info(EVP_PKEY2PKCS8(key));
  if (!info) Fail(msg::CryptoFailed());
  X509_ALGOR* scheme = PKCS5_pbe2_set_iv(EVP_aes_256_cbc(), iterations, nullptr, 0, nullptr, NID_hmacWithSHA256);
  if (scheme == nullptr) Fail(msg::CryptoFailed());
  SigPtr sealed(PKCS8_set0_pbe(password.c_str(), static_cast<int>(password.size()), info.get(), scheme));
  if (!sealed) {
    X509_ALGOR_free(scheme);
    Fail(msg::CryptoFailed());
  }
  BioPtr out(BIO_new(BIO_s_mem()));
  if (!out || PEM_write_bio_PKCS8(out.get(), sealed.get()) != 1) Fail(msg::CryptoFailed());
  return BioText(out.get());
}

std::string CertificatePem(X509* cert) {
  BioPtr out(BIO_new(BIO_s_mem()));
  if (!out || PEM_write_bio_X509(out.get(), cert) != 1) Fail(msg::CryptoFailed());
  return BioText(out.get());
}

PkeyPtr GenerateKey(KeyKind kind, int rsaBits) {
  PkeyPtr key(kind == KeyKind::Rsa ? EVP_RSA_gen(static_cast<unsigned int>(rsaBits)) : EVP_EC_gen("P-256"));
  if (!key) Fail(msg::KeyGenFailed());
  return key;
}

X509Ptr IssueCertificate(EVP_PKEY* subjectKey, const CertProfile& profile, X509* issuerCert, EVP_PKEY* issuerKey) {
  X509Ptr cert(X509_new());
  if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1) Fail(msg::IssueFailed());
  SetRandomSerial(cert.get());
  // A few minutes back, so that a peer whose clock runs a little late accepts it at once.
  if (X509_gmtime_adj(X509_getm_notBefore(cert.get()), -300) == nullptr ||
      X509_time_adj_ex(X509_getm_notAfter(cert.get()), profile.days, 0, nullptr) == nullptr) {
    Fail(msg::IssueFailed());
  }
  X509_NAME* subject = X509_get_subject_name(cert.get());
  if (X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>(profile.commonName.c_str()), -1, -1, 0) != 1 ||
      X509_set_issuer_name(cert.get(), issuerCert ? X509_get_subject_name(issuerCert) : subject) != 1 ||
      X509_set_pubkey(cert.get(), subjectKey) != 1) {
    Fail(msg::IssueFailed());
  }

  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuerCert ? issuerCert : cert.get(), cert.get(), nullptr, nullptr, 0);
  AddExtension(cert.get(), &ctx, NID_basic_constraints, profile.ca ? "critical,CA:TRUE" : "critical,CA:FALSE");
  AddExtension(cert.get(), &ctx, NID_key_usage, profile.keyUsage);
  AddExtension(cert.get(), &ctx, NID_subject_key_identifier, "hash");
  AddExtension(cert.get(), &ctx, NID_authority_key_identifier, issuerCert ? "keyid,issuer" : "keyid:always");

  if (X509_sign(cert.get(), issuerCert ? issuerKey : subjectKey, EVP_sha256()) <= 0) Fail(msg::IssueFailed());
  return cert;
}

}  // namespace qorv_ref
