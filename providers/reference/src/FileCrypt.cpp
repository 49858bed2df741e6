// Encrypt and Decrypt: one chunked AEAD stream in every mode, so memory stays bounded
// by a couple of segments whatever the file size. Certificate mode seals only the
// per-file key in CMS, and signs a digest of the plaintext instead of the plaintext.
#include <openssl/cms.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "Failure.h"
#include "Keys.h"
#include "Messages.h"
#include "Operations.h"
#include "SegmentStream.h"
#include "WriteBehind.h"
#include "platform/AtomicFile.h"

namespace qorv_ref {
namespace {

// scrypt: r and p as usually chosen; N = 2^KdfCost, 2^14 by default (16 MiB, to keep
// the whole operation well under 32 MiB). Files name their own cost for decryption.
constexpr int kDefaultKdfCost = 14;
constexpr int kMinKdfCost = 10;
constexpr int kMaxKdfCost = 20;
// The highest cost written without being asked for (the default of earlier versions):
// a file may name more only when its type is configured for more.
constexpr int kFormerDefaultKdfCost = 16;
constexpr uint32_t kScryptR = 8;
constexpr uint32_t kScryptP = 1;
constexpr uint8_t kKdfScrypt = 1;
constexpr size_t kScryptParamsSize = 10;
constexpr char kManifestTag[] = "QRVF-SIG";
// Blocks of the writer: two held by the encrypting side (a segment and the one read
// ahead), the rest queued or being written. A segment each (1 MiB).
constexpr size_t kBlocksInFlight = 6;

std::string Required(const CallStrings& call, const std::string& name) {
  std::string value = call.Param(name);
  if (value.empty()) Fail(msg::ParamMissing(name));
  return value;
}

FileMode ModeOf(const CallStrings& call) {
  const std::string mode = call.Init("Mode");
  if (mode == "1") return FileMode::Certificate;
  if (mode == "2") return FileMode::Password;
  return FileMode::KeyFile;
}

void RequireKeyMatches(X509* cert, EVP_PKEY* key, const std::string& keyWhat, const std::string& keyPath,
                       const std::string& certWhat) {
  if (X509_check_private_key(cert, key) != 1) Fail(msg::KeyMismatch(keyWhat, keyPath, certWhat));
}

// ---- key-file mode

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// 32 raw bytes, or 64 hexadecimal digits with optional surrounding white space.
SecretBytes LoadKeyFile(const CallStrings& call) {
  const std::string path = call.Param("KeyFile");
  if (path.empty()) Fail(msg::KeyFileNotConfigured());
  std::string bytes = ReadSmallFile(path, "密钥文件");
  SecretBytes key(kKeySize);
  bool ok = false;
  if (bytes.size() == kKeySize) {
    std::memcpy(key.data(), bytes.data(), kKeySize);
    ok = true;
  } else {
    const size_t begin = bytes.find_first_not_of(" \t\r\n");
    const size_t end = bytes.find_last_not_of(" \t\r\n");
    if (begin != std::string::npos && end - begin + 1 == 2 * kKeySize) {
      ok = true;
      for (size_t i = 0; i < kKeySize && ok; ++i) {
        const int hi = HexDigit(bytes[begin + 2 * i]);
        const int lo = HexDigit(bytes[begin + 2 * i + 1]);
        ok = hi >= 0 && lo >= 0;
        key.data()[i] = static_cast<unsigned char>(ok ? hi * 16 + lo : 0);
      }
    }
  }
  OPENSSL_cleanse(bytes.data(), bytes.size());
  if (!ok) Fail(msg::KeyFileInvalid(path));
  return key;
}

// ---- password mode

// KdfCost as configured, 0 when absent or not a number.
int ConfiguredKdfCost(const CallStrings& call) {
  const std::string text = call.Param("KdfCost");
  const bool digits = !text.empty() && text.size() <= 2 &&
                      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? std::stoi(text) : 0;
}

int KdfCost(const CallStrings& call) {
  if (call.Param("KdfCost").empty()) return kDefaultKdfCost;
  const int cost = ConfiguredKdfCost(call);
  if (cost < kMinKdfCost || cost > kMaxKdfCost) {
    Fail(msg::ExtParamInvalid("KdfCost", std::to_string(kMinKdfCost) + "到" + std::to_string(kMaxKdfCost) + "之间的整数"));
  }
  return cost;
}

SecretBytes Scrypt(const std::string& password, const Bytes& salt, int log2N, uint32_t r, uint32_t p) {
  const uint64_t n = uint64_t{1} << log2N;
  const uint64_t maxMemory = 128 * uint64_t{r} * (n + 2) + 128 * uint64_t{r} * p + (1 << 20);
  SecretBytes key(kKeySize);
  if (EVP_PBE_scrypt(password.data(), password.size(), salt.data(), salt.size(), n, r, p, maxMemory, key.data(),
                     key.size()) != 1) {
    Fail(msg::OutOfMemory());
  }
  return key;
}

std::string Password(const CallStrings& call) {
  std::string password = call.Init("PassWord");
  if (password.empty()) Fail(msg::PasswordEmpty());
  return password;
}

Bytes ScryptParams(int log2N) {
  Bytes out{kKdfScrypt, static_cast<unsigned char>(log2N)};
  PutU32(out, kScryptR);
  PutU32(out, kScryptP);
  return out;
}

SecretBytes PasswordKeyFromHeader(const CallStrings& call, const Header& header) {
  const Bytes& p = header.params;
  if (p.size() != kScryptParamsSize || p[0] != kKdfScrypt) Fail(msg::HeaderDamaged());
  const int log2N = p[1];
  const uint32_t r = GetU32(p.data() + 2);
  const uint32_t parallel = GetU32(p.data() + 6);
  // Only what this provider writes: a forged header cannot make the password's check
  // cost more memory or time than the type's own files do.
  const int highest = std::min(std::max(kFormerDefaultKdfCost, ConfiguredKdfCost(call)), kMaxKdfCost);
  if (log2N < kMinKdfCost || log2N > highest || r != kScryptR || parallel != kScryptP) Fail(msg::HeaderDamaged());
  return Scrypt(Password(call), header.salt, log2N, r, parallel);
}

// ---- certificate mode

void AddRecipient(CMS_ContentInfo* cms, X509* cert) {
  EVP_PKEY* key = X509_get0_pubkey(cert);
  const bool rsa = key != nullptr && EVP_PKEY_is_a(key, "RSA");
  CMS_RecipientInfo* info = CMS_add1_recipient_cert(cms, cert, rsa ? CMS_KEY_PARAM : 0);
  if (info == nullptr) Fail(msg::EnvelopeFailed());
  if (rsa) {
    // OAEP rather than PKCS#1 v1.5 padding for the key transport.
    EVP_PKEY_CTX* ctx = CMS_RecipientInfo_get0_pkey_ctx(info);
    if (ctx == nullptr || EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING) <= 0 ||
        EVP_PKEY_CTX_set_rsa_oaep_md(ctx, EVP_sha256()) <= 0 || EVP_PKEY_CTX_set_rsa_mgf1_md(ctx, EVP_sha256()) <= 0) {
      Fail(msg::EnvelopeFailed());
    }
  }
}

Bytes ToDer(CMS_ContentInfo* cms, const std::string& failure) {
  unsigned char* der = nullptr;
  const int size = i2d_CMS_ContentInfo(cms, &der);
  if (size <= 0) Fail(failure);
  Bytes out(der, der + size);
  OPENSSL_free(der);
  return out;
}

CmsPtr FromDer(const Bytes& der, int expectedType, const std::string& failure) {
  const unsigned char* p = der.data();
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
  if (!cms || p != der.data() + der.size()) Fail(failure);
  const int type = OBJ_obj2nid(CMS_get0_type(cms.get()));
  if (type != expectedType && !(expectedType == NID_pkcs7_enveloped && type == NID_id_smime_ct_authEnvelopedData)) {
    Fail(failure);
  }
  return cms;
}

// AuthEnvelopedData with AES-256-GCM; EnvelopedData with AES-256-CBC where the CMS
// code cannot build the former.
Bytes SealFileKey(const SecretBytes& fileKey, X509* server, X509* user) {
  for (const EVP_CIPHER* cipher : {EVP_aes_256_gcm(), EVP_aes_256_cbc()}) {
    CmsPtr cms(CMS_encrypt(nullptr, nullptr, cipher, CMS_BINARY | CMS_PARTIAL));
    if (!cms) continue;
    AddRecipient(cms.get(), server);
    AddRecipient(cms.get(), user);
    BioPtr content(BIO_new_mem_buf(fileKey.data(), static_cast<int>(fileKey.size())));
    if (!content || CMS_final(cms.get(), content.get(), nullptr, CMS_BINARY) != 1) Fail(msg::EnvelopeFailed());
    return ToDer(cms.get(), msg::EnvelopeFailed());
  }
  Fail(msg::EnvelopeFailed());
}

SecretBytes OpenFileKey(const Bytes& der, EVP_PKEY* key, X509* cert) {
  CmsPtr cms = FromDer(der, NID_pkcs7_enveloped, msg::HeaderDamaged());
  BioPtr out(BIO_new(BIO_s_secmem()));
  if (!out) throw std::bad_alloc();
  if (CMS_decrypt(cms.get(), key, cert, nullptr, out.get(), CMS_BINARY) != 1) Fail(msg::NotARecipient());
  SecretBytes fileKey(kKeySize);
  if (BIO_read(out.get(), fileKey.data(), static_cast<int>(kKeySize)) != static_cast<int>(kKeySize) ||
      BIO_pending(out.get()) != 0) {
    Fail(msg::HeaderDamaged());
  }
  return fileKey;
}

// What the signature covers: the header (and so the sealed file key) and the plaintext.
Bytes Manifest(const Bytes& headerHash, const Bytes& plainHash, uint64_t plainSize) {
  Bytes out(kManifestTag, kManifestTag + sizeof kManifestTag - 1);
  out.insert(out.end(), headerHash.begin(), headerHash.end());
  out.insert(out.end(), plainHash.begin(), plainHash.end());
  for (int shift = 56; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(plainSize >> shift));
  return out;
}

Bytes Sign(const Bytes& manifest, X509* cert, EVP_PKEY* key) {
  BioPtr content(BIO_new_mem_buf(manifest.data(), static_cast<int>(manifest.size())));
  if (!content) throw std::bad_alloc();
  CmsPtr cms(CMS_sign(cert, key, nullptr, content.get(), CMS_BINARY));
  if (!cms) Fail(msg::SignFailed());
  return ToDer(cms.get(), msg::SignFailed());
}

void VerifySignature(const Bytes& der, X509* root, const Bytes& expected) {
  CmsPtr cms = FromDer(der, NID_pkcs7_signed, msg::SignatureInvalid());
  StorePtr store(X509_STORE_new());
  if (!store || X509_STORE_add_cert(store.get(), root) != 1) throw std::bad_alloc();
  // The configured root may itself be an intermediate CA.
  X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN);
  BioPtr out(BIO_new(BIO_s_mem()));
  if (!out) throw std::bad_alloc();
  if (CMS_verify(cms.get(), nullptr, store.get(), nullptr, out.get(), CMS_BINARY) != 1) Fail(msg::SignatureInvalid());
  char* data = nullptr;
  const long size = BIO_get_mem_data(out.get(), &data);
  if (size < 0 || static_cast<size_t>(size) != expected.size() || std::memcmp(data, expected.data(), expected.size()) != 0) {
    Fail(msg::SignatureInvalid());
  }
}

class Sha256Stream {
 public:
  Sha256Stream() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1) Fail(msg::CryptoFailed());
  }
  void Update(const unsigned char* data, size_t size) {
    if (EVP_DigestUpdate(ctx_.get(), data, size) != 1) Fail(msg::CryptoFailed());
    total_ += size;
  }
  Bytes Final() {
    Bytes digest(32);
    if (EVP_DigestFinal_ex(ctx_.get(), digest.data(), nullptr) != 1) Fail(msg::CryptoFailed());
    return digest;
  }
  uint64_t total() const { return total_; }

 private:
  MdCtxPtr ctx_;
  uint64_t total_ = 0;
};

struct Signer {
  X509Ptr cert;
  PkeyPtr key;
};

Signer LoadSigner(const CallStrings& call) {
  const std::string certPath = Required(call, "SignCertFile");
  const std::string keyPath = Required(call, "SignKeyFile");
  Signer signer{LoadCertificate(certPath, "签名证书文件"),
                LoadPrivateKey(keyPath, call.Init("SignKeyPwd"), "签名私钥文件")};
  RequireKeyMatches(signer.cert.get(), signer.key.get(), "签名私钥文件", keyPath, "签名证书");
  return signer;
}

}  // namespace

void EncryptFile(const CallStrings& call) {
  const std::string source = Required(call, "SourceFile");
  const std::string target = Required(call, "TargetFile");
  SourceFile in(source);

  Header header;
  header.mode = ModeOf(call);
  header.salt = RandomBytes(kSaltSize);
  SecretBytes master;
  Signer signer;
  switch (header.mode) {
    case FileMode::Certificate: {
      X509Ptr server = LoadCertificate(Required(call, "RevenueEncCertFile"), "服务器加密证书文件");
      X509Ptr user = LoadCertificate(Required(call, "EncCertFile"), "加密证书文件");
      if (call.TwoPairs()) {
        signer = LoadSigner(call);
        header.flags |= kFlagSigned;
      }
      master = SecretBytes(kKeySize);
      if (RAND_bytes(master.data(), static_cast<int>(kKeySize)) != 1) Fail(msg::CryptoFailed());
      header.params = SealFileKey(master, server.get(), user.get());
      break;
    }
    case FileMode::Password: {
      const int cost = KdfCost(call);
      master = Scrypt(Password(call), header.salt, cost, kScryptR, kScryptP);
      header.params = ScryptParams(cost);
      break;
    }
    case FileMode::KeyFile:
      master = LoadKeyFile(call);
      break;
  }
  const StreamKeys keys = DeriveStreamKeys(master, header.salt);
  header.check = HeaderCheck(keys.check, header.Body());
  const Bytes headerBytes = header.Serialize();
  const Bytes headerHash = Sha256(headerBytes);

  platform::AtomicFile out(target, platform::Visibility::Everyone);
  WriteBehind writer(out, kBlocksInFlight);
  Bytes& head = writer.Acquire();
  head = headerBytes;
  writer.Submit(head);
  RecordWriter records(writer, keys.record, headerHash);
  Sha256Stream digest;

  // One segment is read ahead, to know which one is the last.
  constexpr size_t kAt = RecordWriter::kPlainOffset;
  Bytes* current = &writer.Acquire();
  current->resize(RecordWriter::BlockSize(kSegmentSize));
  size_t currentSize = in.Read(current->data() + kAt, kSegmentSize);
  for (;;) {
    Bytes* next = nullptr;
    size_t nextSize = 0;
    if (currentSize == kSegmentSize) {
      next = &writer.Acquire();
      next->resize(RecordWriter::BlockSize(kSegmentSize));
      nextSize = in.Read(next->data() + kAt, kSegmentSize);
    }
    const bool last = nextSize == 0;
    if (header.signedContent()) digest.Update(current->data() + kAt, currentSize);
    records.Seal(last ? RecordKind::LastData : RecordKind::Data, *current, currentSize);
    if (last) {
      if (next != nullptr) writer.Release(*next);
      break;
    }
    current = next;
    currentSize = nextSize;
  }
  if (header.signedContent()) {
    const Bytes signature = Sign(Manifest(headerHash, digest.Final(), digest.total()), signer.cert.get(),
                                 signer.key.get());
    records.Put(RecordKind::Signature, signature.data(), signature.size());
  }
  in.Close();
  writer.Finish();
  out.Commit();
}

void DecryptFile(const CallStrings& call) {
  const std::string source = Required(call, "SourceFile");
  const std::string target = Required(call, "TargetFile");
  SourceFile in(source);
  const Header header = ReadHeader(in);
  const FileMode mode = ModeOf(call);
  if (header.mode != mode) Fail(msg::ModeMismatch());
  if (header.signedContent() && mode != FileMode::Certificate) Fail(msg::UnsupportedFormat());

  SecretBytes master;
  X509Ptr root;
  switch (mode) {
    case FileMode::Certificate: {
      const std::string keyPath = Required(call, "EncKeyFile");
      PkeyPtr key = LoadPrivateKey(keyPath, call.Init("EncKeyPwd"), "加密私钥文件");
      X509Ptr cert;
      if (const std::string certPath = call.Param("EncCertFile"); !certPath.empty()) {
        cert = LoadCertificate(certPath, "加密证书文件");
        RequireKeyMatches(cert.get(), key.get(), "加密私钥文件", keyPath, "加密证书");
      }
      if (header.signedContent()) {
        root = LoadCertificate(Required(call, "RootCertFile"), "根证书文件");
      } else if (call.TwoPairs()) {
        Fail(msg::SignatureMissing());
      }
      master = OpenFileKey(header.params, key.get(), cert.get());
      break;
    }
    case FileMode::Password:
      master = PasswordKeyFromHeader(call, header);
      break;
    case FileMode::KeyFile:
      if (!header.params.empty()) Fail(msg::HeaderDamaged());
      master = LoadKeyFile(call);
      break;
  }
  const StreamKeys keys = DeriveStreamKeys(master, header.salt);
  if (!CheckMatches(HeaderCheck(keys.check, header.Body()), header.check)) {
    Fail(mode == FileMode::Password  ? msg::WrongPassword()
         : mode == FileMode::KeyFile ? msg::WrongKeyFile()
                                     : msg::HeaderDamaged());
  }
  const Bytes headerHash = Sha256(header.Serialize());

  platform::AtomicFile out(target, platform::Visibility::OwnerOnly);
  WriteBehind writer(out, kBlocksInFlight);
  RecordReader records(in, keys.record, headerHash);
  Sha256Stream digest;
  RecordKind kind = RecordKind::Data;
  do {
    Bytes& plain = writer.Acquire();
    if (!records.Next(kind, plain, header.segmentSize)) Fail(msg::Truncated());
    if (kind == RecordKind::Signature) Fail(msg::Tampered());
    if (header.signedContent()) digest.Update(plain.data(), plain.size());
    writer.Submit(plain);
  } while (kind != RecordKind::LastData);

  if (header.signedContent()) {
    Bytes signature;
    if (!records.Next(kind, signature, kMaxSignatureSize)) Fail(msg::Truncated());
    if (kind != RecordKind::Signature) Fail(msg::Tampered());
    VerifySignature(signature, root.get(), Manifest(headerHash, digest.Final(), digest.total()));
  }
  if (!records.AtEnd()) Fail(msg::TrailingData());
  in.Close();
  writer.Finish();
  out.Commit();
}

}  // namespace qorv_ref
