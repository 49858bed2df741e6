// CreateCAFile, ChangeCAPassword and ValidateCert on certificate and key files.
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "Failure.h"
#include "Keys.h"
#include "Messages.h"
#include "Operations.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace qorv_ref {
namespace {

using platform::Visibility;

constexpr int kDefaultCertDays = 1825;
constexpr size_t kReplyLimit = 10240;

// The two key pairs a user has, with the names of their keys and how messages call them.
struct PairRole {
  const char* certParam;
  const char* keyParam;
  const char* passwordParam;
  const char* newPasswordParam;
  const char* certWhat;
  const char* keyWhat;
};
constexpr PairRole kEncryption{"EncCertFile", "EncKeyFile", "EncKeyPwd", "NewEncKeyPwd", "加密证书", "加密私钥"};
constexpr PairRole kSigning{"SignCertFile", "SignKeyFile", "SignKeyPwd", "NewSignKeyPwd", "签名证书", "签名私钥"};

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Required(const CallStrings& call, const std::string& name) {
  std::string value = call.Init(name);
  if (value.empty()) Fail(msg::ParamMissing(name));
  return value;
}

int IntParam(const CallStrings& call, const std::string& name, int fallback, int low, int high) {
  const std::string text = call.Init(name);
  if (text.empty()) return fallback;
  const bool digits = text.size() <= 7 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  const int value = digits ? std::stoi(text) : -1;
  if (value < low || value > high) {
    Fail(msg::ExtParamInvalid(name, std::to_string(low) + "到" + std::to_string(high) + "之间的整数"));
  }
  return value;
}

int KeyIterations(const CallStrings& call) {
  return IntParam(call, "KeyIterations", kDefaultKeyIterations, kMinKeyIterations, kMaxKeyIterations);
}

// ---- CreateCAFile

// The user name made safe as part of a file name.
std::string FileStem(const std::string& user) {
  std::string stem;
  for (const char c : user) {
    const bool unsafe = static_cast<unsigned char>(c) < 0x20 || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    stem += unsafe ? '_' : c;
  }
  if (stem.front() == '.') stem.insert(stem.begin(), '_');
  return stem;
}

std::string OutputFolder(const CallStrings& call) {
  const std::string configured = call.Init("CertOutDir");
  const std::string folder =
      configured.empty() ? platform::CurrentDirectory() : platform::AbsolutePath(configured);
  if (folder.empty()) Fail(msg::FolderNotCreatable(configured));
  if (!platform::MakeDirectories(folder)) Fail(msg::FolderNotCreatable(folder));
  return folder;
}

// A readable random password for a key the caller gave none for; it comes back in the reply.
std::string GeneratedPassword() {
  static constexpr char kAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
  unsigned char raw[24];
  if (RAND_bytes(raw, sizeof raw) != 1) Fail(msg::KeyGenFailed());
  std::string password;
  for (const unsigned char b : raw) password += kAlphabet[b % (sizeof kAlphabet - 1)];
  return password;
}

// The manager puts the stored (possibly empty) passwords over the request's, so a
// request can also name the password as NewEncKeyPwd / NewSignKeyPwd.
std::string PasswordFor(const CallStrings& call, const PairRole& role) {
  for (const std::string& value : {GetParam(call.op, role.passwordParam), call.Init(role.passwordParam),
                                   call.Init(role.newPasswordParam)}) {
    if (!value.empty()) return value;
  }
  return GeneratedPassword();
}

struct Issuer {
  X509Ptr cert;
  PkeyPtr key;
  std::string certPath;
};

struct PendingFile {
  std::string path;
  std::string content;
  Visibility visibility;
};

}  // namespace

std::string CreateCertificateFiles(const CallStrings& call) {
  std::string user = GetParam(call.op, "User");
  if (user.empty()) user = call.Init("User");
  if (user.empty()) Fail(msg::UserEmpty());

  const std::string keyAlg = Upper(call.Init("KeyAlg"));
  if (!keyAlg.empty() && keyAlg != "RSA" && keyAlg != "EC") Fail(msg::ExtParamInvalid("KeyAlg", "RSA或EC"));
  const KeyKind kind = keyAlg == "EC" ? KeyKind::Ec : KeyKind::Rsa;
  const int rsaBits = IntParam(call, "KeyBits", 2048, 2048, 8192);
  const int days = IntParam(call, "CertDays", kDefaultCertDays, 1, 36500);
  const bool twoPairs = call.TwoPairs();

  const std::string base = OutputFolder(call) + platform::kPathSeparator + FileStem(user);
  std::vector<PendingFile> files;

  Issuer issuer;
  if (const std::string caCert = call.Init("CACertFile"); !caCert.empty()) {
    issuer.cert = LoadCertificate(caCert, "CA证书文件");
    const std::string caKey = Required(call, "CAKeyFile");
    issuer.key = LoadPrivateKey(caKey, call.Init("CAKeyPwd"), "CA私钥文件");
    if (X509_check_ca(issuer.cert.get()) == 0) Fail(msg::NotACa(caCert));
    if (X509_check_private_key(issuer.cert.get(), issuer.key.get()) != 1) Fail(msg::CaKeyMismatch(caKey));
    issuer.certPath = platform::AbsolutePath(caCert);
  } else {
    // No CA named: a root of the user's own, whose key is thrown away once it has issued.
    issuer.key = GenerateKey(kind, rsaBits);
    issuer.cert = IssueCertificate(issuer.key.get(), {user + " Root CA", days, true, "critical,keyCertSign,cRLSign"},
                                   nullptr, nullptr);
    issuer.certPath = base + "_root.crt";
    files.push_back({issuer.certPath, CertificatePem(issuer.cert.get()), Visibility::Everyone});
  }

  std::string reply = SetParam("", "RootCertFile", issuer.certPath);
  std::vector<const PairRole*> roles{&kEncryption};
  if (twoPairs) roles.push_back(&kSigning);
  for (const PairRole* role : roles) {
    const bool encryption = role == &kEncryption;
    const std::string stem = base + (encryption ? "_enc" : "_sign");
    const std::string password = PasswordFor(call, *role);
    PkeyPtr key = GenerateKey(kind, rsaBits);
    const std::string usage = !encryption             ? "critical,digitalSignature,nonRepudiation"
                              : kind == KeyKind::Rsa ? "critical,keyEncipherment"
                                                     : "critical,keyAgreement";
    X509Ptr cert = IssueCertificate(key.get(), {user, days, false, usage}, issuer.cert.get(), issuer.key.get());
    files.push_back({stem + ".crt", CertificatePem(cert.get()), Visibility::Everyone});
    files.push_back({stem + ".key", EncryptedKeyPem(key.get(), password, KeyIterations(call)), Visibility::OwnerOnly});
    reply = SetParam(reply, role->certParam, stem + ".crt");
    reply = SetParam(reply, role->keyParam, stem + ".key");
    reply = SetParam(reply, role->passwordParam, password);
  }
  if (reply.size() >= kReplyLimit) Fail(msg::ReplyTooLong());

  for (const PendingFile& file : files) {
    if (platform::PathExists(file.path)) Fail(msg::OutputExists(file.path));
  }
  // All or nothing: files already placed go again when a later one fails.
  std::vector<std::string> placed;
  try {
    for (const PendingFile& file : files) {
      platform::WriteFileAtomically(file.path, file.content, file.visibility, false);
      placed.push_back(file.path);
    }
  } catch (...) {
    for (const std::string& path : placed) platform::RemoveFile(path);
    throw;
  }
  return reply;
}

// ---- ChangeCAPassword

void ChangeKeyPasswords(const CallStrings& call) {
  std::vector<const PairRole*> roles{&kEncryption};
  if (call.TwoPairs()) roles.push_back(&kSigning);

  // Every key is opened and re-sealed before any file is replaced.
  std::vector<PendingFile> files;
  for (const PairRole* role : roles) {
    const std::string path = Required(call, role->keyParam);
    const std::string newPassword = GetParam(call.op, role->passwordParam);
    if (newPassword.empty()) Fail(msg::NewPasswordEmpty(role->passwordParam));
    PkeyPtr key = LoadPrivateKey(path, call.Init(role->passwordParam), std::string(role->keyWhat) + "文件");
    files.push_back({path, EncryptedKeyPem(key.get(), newPassword, KeyIterations(call)), Visibility::OwnerOnly});
  }
  for (const PendingFile& file : files) platform::WriteFileAtomically(file.path, file.content, file.visibility, true);
}

// ---- ValidateCert

namespace {

void CheckPeriod(X509* cert, const std::string& what, const std::string& path) {
  if (X509_cmp_current_time(X509_get0_notBefore(cert)) >= 0) Fail(msg::NotYetValid(what, path));
  if (X509_cmp_current_time(X509_get0_notAfter(cert)) <= 0) Fail(msg::Expired(what, path));
}

bool IssuedBy(X509* cert, X509* root) {
  StorePtr store(X509_STORE_new());
  StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!store || !ctx || X509_STORE_add_cert(store.get(), root) != 1) throw std::bad_alloc();
  // Periods are checked on their own, for their own message; the configured root may be
  // an intermediate CA.
  X509_STORE_set_flags(store.get(), X509_V_FLAG_PARTIAL_CHAIN | X509_V_FLAG_NO_CHECK_TIME);
  if (X509_STORE_CTX_init(ctx.get(), store.get(), cert, nullptr) != 1) throw std::bad_alloc();
  return X509_verify_cert(ctx.get()) == 1;
}

void CheckPair(const CallStrings& call, const PairRole& role, X509* root) {
  const std::string certPath = Required(call, role.certParam);
  const std::string keyPath = Required(call, role.keyParam);
  X509Ptr cert = LoadCertificate(certPath, std::string(role.certWhat) + "文件");
  CheckPeriod(cert.get(), role.certWhat, certPath);
  if (!IssuedBy(cert.get(), root)) Fail(msg::NotIssuedByRoot(role.certWhat, certPath));

  // Without a keyUsage extension every usage is allowed (all bits set).
  const uint32_t usage = X509_get_key_usage(cert.get());
  if (&role == &kEncryption && (usage & (KU_KEY_ENCIPHERMENT | KU_KEY_AGREEMENT)) == 0) {
    Fail(msg::UsageNotForEncryption(certPath));
  }
  if (&role == &kSigning && (usage & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) == 0) {
    Fail(msg::UsageNotForSigning(certPath));
  }

  const std::string keyWhat = std::string(role.keyWhat) + "文件";
  PkeyPtr key = LoadPrivateKey(keyPath, call.Init(role.passwordParam), keyWhat);
  if (X509_check_private_key(cert.get(), key.get()) != 1) Fail(msg::KeyMismatch(keyWhat, keyPath, role.certWhat));
}

}  // namespace

void ValidateCertificates(const CallStrings& call) {
  const std::string rootPath = Required(call, "RootCertFile");
  X509Ptr root = LoadCertificate(rootPath, "根证书文件");
  CheckPeriod(root.get(), "根证书", rootPath);
  CheckPair(call, kEncryption, root.get());
  if (call.TwoPairs()) CheckPair(call, kSigning, root.get());
}

}  // namespace qorv_ref
