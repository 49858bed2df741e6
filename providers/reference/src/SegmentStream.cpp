#include "SegmentStream.h"

#include <openssl/core_names.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <cstring>

#include "Failure.h"
#include "Messages.h"

namespace qorv_ref {
namespace {

constexpr unsigned char kMagic[4] = {'Q', 'R', 'V', 'F'};
constexpr uint8_t kVersion = 1;
constexpr size_t kTagSize = RecordWriter::kTagSize;
constexpr size_t kNonceSize = 12;
constexpr size_t kCheckSize = 32;
constexpr size_t kFixedHeadSize = 12;

using KdfPtr = std::unique_ptr<EVP_KDF, OsslDeleter<EVP_KDF, EVP_KDF_free>>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, OsslDeleter<EVP_KDF_CTX, EVP_KDF_CTX_free>>;

void Require(bool ok) {
  if (!ok) Fail(msg::CryptoFailed());
}

void Hkdf(const SecretBytes& master, const Bytes& salt, const char* info, SecretBytes& out) {
  KdfPtr kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr));
  Require(kdf != nullptr);
  KdfCtxPtr ctx(EVP_KDF_CTX_new(kdf.get()));
  Require(ctx != nullptr);
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<unsigned char*>(master.data()), master.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<unsigned char*>(salt.data()), salt.size()),
      OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(info), std::strlen(info)),
      OSSL_PARAM_construct_end()};
  Require(EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) == 1);
}

void MakeNonce(unsigned char* nonce, uint64_t number, RecordKind kind) {
  for (int i = 0; i < 8; ++i) nonce[i] = static_cast<unsigned char>(number >> (56 - 8 * i));
  nonce[8] = static_cast<unsigned char>(kind);
  nonce[9] = nonce[10] = nonce[11] = 0;
}

CipherCtxPtr GcmContext(const SecretBytes& key, bool encrypt) {
  CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
  Require(ctx != nullptr);
  Require(EVP_CipherInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) == 1);
  return ctx;
}

int AsInt(size_t n) { return static_cast<int>(n); }

// Reads exactly size bytes of a header; a short file is not a complete header.
void ReadHeaderPart(SourceFile& in, unsigned char* data, size_t size) {
  if (in.Read(data, size) != size) Fail(msg::Truncated());
}

}  // namespace

Bytes Header::Body() const {
  Bytes out(kMagic, kMagic + sizeof kMagic);
  out.push_back(kVersion);
  out.push_back(static_cast<unsigned char>(mode));
  out.push_back(flags);
  out.push_back(0);
  PutU32(out, segmentSize);
  out.insert(out.end(), salt.begin(), salt.end());
  PutU32(out, static_cast<uint32_t>(params.size()));
  out.insert(out.end(), params.begin(), params.end());
  return out;
}

Bytes Header::Serialize() const {
  Bytes out = Body();
  out.insert(out.end(), check.begin(), check.end());
  return out;
}

Header ReadHeader(SourceFile& in) {
  unsigned char head[kFixedHeadSize];
  const size_t got = in.Read(head, sizeof head);
  if (got < sizeof kMagic || std::memcmp(head, kMagic, sizeof kMagic) != 0) Fail(msg::NotOurFile());
  if (got < sizeof head) Fail(msg::Truncated());
  if (head[4] != kVersion || head[7] != 0 || (head[6] & ~kFlagSigned) != 0) Fail(msg::UnsupportedFormat());
  if (head[5] < 1 || head[5] > 3) Fail(msg::UnsupportedFormat());

  Header header;
  header.mode = static_cast<FileMode>(head[5]);
  header.flags = head[6];
  header.segmentSize = GetU32(head + 8);
  if (header.segmentSize < kMinSegmentSize || header.segmentSize > kMaxSegmentSize) Fail(msg::HeaderDamaged());

  header.salt.resize(kSaltSize);
  ReadHeaderPart(in, header.salt.data(), kSaltSize);
  unsigned char length[4];
  ReadHeaderPart(in, length, sizeof length);
  const uint32_t paramsSize = GetU32(length);
  if (paramsSize > kMaxParamsSize) Fail(msg::HeaderDamaged());
  header.params.resize(paramsSize);
  ReadHeaderPart(in, header.params.data(), paramsSize);
  header.check.resize(kCheckSize);
  ReadHeaderPart(in, header.check.data(), kCheckSize);
  return header;
}

StreamKeys DeriveStreamKeys(const SecretBytes& master, const Bytes& salt) {
  StreamKeys keys;
  Hkdf(master, salt, "QRVF v1 record key", keys.record);
  Hkdf(master, salt, "QRVF v1 header check", keys.check);
  return keys;
}

Bytes HeaderCheck(const SecretBytes& checkKey, const Bytes& body) {
  Bytes mac(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  Require(HMAC(EVP_sha256(), checkKey.data(), AsInt(checkKey.size()), body.data(), body.size(), mac.data(), &size) !=
          nullptr);
  mac.resize(size);
  return mac;
}

bool CheckMatches(const Bytes& expected, const Bytes& actual) {
  return expected.size() == actual.size() && CRYPTO_memcmp(expected.data(), actual.data(), expected.size()) == 0;
}

Bytes Sha256(const Bytes& data) {
  Bytes digest(32);
  Require(EVP_Digest(data.data(), data.size(), digest.data(), nullptr, EVP_sha256(), nullptr) == 1);
  return digest;
}

Bytes RandomBytes(size_t size) {
  Bytes out(size);
  Require(RAND_bytes(out.data(), AsInt(size)) == 1);
  return out;
}

RecordWriter::RecordWriter(WriteBehind& out, const SecretBytes& key, Bytes aad)
    : out_(out), ctx_(GcmContext(key, true)), aad_(std::move(aad)) {}

void RecordWriter::Seal(RecordKind kind, Bytes& block, size_t size) {
  block.resize(BlockSize(size));
  block[0] = static_cast<unsigned char>(kind);
  const uint32_t length = static_cast<uint32_t>(size + kTagSize);
  for (int i = 0; i < 4; ++i) block[1 + i] = static_cast<unsigned char>(length >> (24 - 8 * i));

  unsigned char nonce[kNonceSize];
  MakeNonce(nonce, number_++, kind);
  unsigned char* plain = block.data() + kPlainOffset;
  int n = 0;
  Require(EVP_EncryptInit_ex(ctx_.get(), nullptr, nullptr, nullptr, nonce) == 1);
  Require(EVP_EncryptUpdate(ctx_.get(), nullptr, &n, aad_.data(), AsInt(aad_.size())) == 1);
  // In place: the cipher allows the output to be the input.
  Require(size == 0 || EVP_EncryptUpdate(ctx_.get(), plain, &n, plain, AsInt(size)) == 1);
  Require(EVP_EncryptFinal_ex(ctx_.get(), plain + size, &n) == 1);
  Require(EVP_CIPHER_CTX_ctrl(ctx_.get(), EVP_CTRL_GCM_GET_TAG, AsInt(kTagSize), plain + size) == 1);
  out_.Submit(block);
}

void RecordWriter::Put(RecordKind kind, const unsigned char* data, size_t size) {
  Bytes& block = out_.Acquire();
  block.resize(BlockSize(size));
  if (size != 0) std::memcpy(block.data() + kPlainOffset, data, size);
  Seal(kind, block, size);
}

RecordReader::RecordReader(SourceFile& in, const SecretBytes& key, Bytes aad)
    : in_(in), ctx_(GcmContext(key, false)), aad_(std::move(aad)) {
  headSize_ = in_.Read(head_, kRecordHeadSize);
}

bool RecordReader::Next(RecordKind& kind, Bytes& plain, uint32_t maxPlain) {
  if (headSize_ == 0) return false;
  if (headSize_ < kRecordHeadSize) Fail(msg::Truncated());
  if (head_[0] > static_cast<unsigned char>(RecordKind::Signature)) Fail(msg::Tampered());
  kind = static_cast<RecordKind>(head_[0]);
  const uint32_t length = GetU32(head_ + 1);
  if (length < kTagSize || length - kTagSize > maxPlain) Fail(msg::Tampered());

  // In place: the record's body (ciphertext and tag) and the next record's head are
  // read into plain, and the ciphertext is opened where it lies.
  plain.resize(length + kRecordHeadSize);
  const size_t got = in_.Read(plain.data(), plain.size());
  if (got < length) Fail(msg::Truncated());
  headSize_ = got - length;
  std::memcpy(head_, plain.data() + length, headSize_);
  const size_t size = length - kTagSize;
  unsigned char tag[kTagSize];
  std::memcpy(tag, plain.data() + size, kTagSize);

  unsigned char nonce[kNonceSize];
  MakeNonce(nonce, number_++, kind);
  int n = 0;
  Require(EVP_DecryptInit_ex(ctx_.get(), nullptr, nullptr, nullptr, nonce) == 1);
  Require(EVP_DecryptUpdate(ctx_.get(), nullptr, &n, aad_.data(), AsInt(aad_.size())) == 1);
  Require(size == 0 || EVP_DecryptUpdate(ctx_.get(), plain.data(), &n, plain.data(), AsInt(size)) == 1);
  Require(EVP_CIPHER_CTX_ctrl(ctx_.get(), EVP_CTRL_GCM_SET_TAG, AsInt(kTagSize), tag) == 1);
  if (EVP_DecryptFinal_ex(ctx_.get(), plain.data() + size, &n) != 1) Fail(msg::Tampered());
  plain.resize(size);
  return true;
}

bool RecordReader::AtEnd() { return headSize_ == 0; }

}  // namespace qorv_ref
