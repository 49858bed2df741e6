// Owning handles for the OpenSSL objects the provider uses, and small byte helpers.
#pragma once

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qorv_ref {

template <typename T, void (*Free)(T*)>
struct OsslDeleter {
  void operator()(T* p) const { Free(p); }
};

using BioPtr = std::unique_ptr<BIO, OsslDeleter<BIO, BIO_free_all>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, OsslDeleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, OsslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, OsslDeleter<X509, X509_free>>;
using StorePtr = std::unique_ptr<X509_STORE, OsslDeleter<X509_STORE, X509_STORE_free>>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OsslDeleter<X509_STORE_CTX, X509_STORE_CTX_free>>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, OsslDeleter<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, OsslDeleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

using Bytes = std::vector<unsigned char>;

// Key material that is wiped when it goes.
class SecretBytes {
 public:
  explicit SecretBytes(size_t size = 0) : bytes_(size) {}
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) {}
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    Wipe();
    bytes_ = std::move(other.bytes_);
    return *this;
  }
  ~SecretBytes() { Wipe(); }

  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }

 private:
  void Wipe() {
    if (!bytes_.empty()) OPENSSL_cleanse(bytes_.data(), bytes_.size());
  }
  Bytes bytes_;
};

inline void PutU32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

inline uint32_t GetU32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

}  // namespace qorv_ref
