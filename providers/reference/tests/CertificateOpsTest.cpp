// CreateCAFile, ValidateCert and ChangeCAPassword through the exports.
#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <ostream>

#include "Material.h"
#include "Messages.h"
#include "ParamText.h"

namespace qorv_ref::test {
namespace {

const char* const kSetCaFileKeys[] = {"RootCertFile", "EncCertFile", "EncKeyFile", "EncKeyPwd",
                                      "SignCertFile", "SignKeyFile", "SignKeyPwd"};

// InitCrypt's string for ValidateCert or ChangeCAPassword over a certificate set.
std::string SetInit(const std::string& set, bool twoPairs) {
  return With(With(With(set, "User", "alice"), "Mode", "1"), "CAISMULTI", twoPairs ? "1" : "0");
}

std::string UserSet(bool twoPairs) {
  const Material& m = Shared();
  std::string set = Params({{"RootCertFile", m.root.certPath},
                            {"EncCertFile", m.userEnc.cert},
                            {"EncKeyFile", m.userEnc.key},
                            {"EncKeyPwd", m.userEnc.password}});
  if (twoPairs) {
    set = With(set, "SignCertFile", m.userSign.cert);
    set = With(set, "SignKeyFile", m.userSign.key);
    set = With(set, "SignKeyPwd", m.userSign.password);
  }
  return set;
}

Reply Validate(const std::string& set, bool twoPairs) { return RunSequence(SetInit(set, twoPairs), ValidateCert, ""); }

// ---- CreateCAFile

struct CreateCase {
  const char* name;
  bool twoPairs;
  bool withCa;
  const char* keyAlg;
  const char* password;  // via the request's EncKeyPwd/SignKeyPwd; none: generated
};

// By name: gtest would otherwise print the bytes of the struct, padding included.
void PrintTo(const CreateCase& c, std::ostream* out) { *out << c.name; }

class CreateTest : public ::testing::TestWithParam<CreateCase> {
 protected:
  TempFolder dir_;
};

TEST_P(CreateTest, CreatedFilesValidateAndServeForEncryption) {
  const CreateCase& c = GetParam();
  const Material& m = Shared();
  std::string init = Params({{"User", "张三"}, {"CertOutDir", dir_.File("out")}, {"KeyAlg", c.keyAlg},
                             {"CertDays", "30"}, {"Mode", "1"}, {"CAISMULTI", c.twoPairs ? "1" : "0"}});
  if (c.withCa) {
    init = With(init, "CACertFile", m.root.certPath);
    // The root's key, written for this test under a password of its own.
    const std::string caKey = dir_.File("ca.key");
    WriteKeyPem(caKey, m.root.key.get(), "ca-pwd");
    init = With(init, "CAKeyFile", caKey);
    init = With(init, "CAKeyPwd", "ca-pwd");
  }
  if (c.password != nullptr) init = With(With(init, "NewEncKeyPwd", c.password), "NewSignKeyPwd", c.password);

  const Reply created = RunSequence(init, CreateCAFile, Params({{"User", "张三"}}));
  ASSERT_TRUE(created.ok) << created.Message();

  // The reply is a SetCaFile request: the set's keys and nothing else.
  std::string expected;
  for (const char* key : kSetCaFileKeys) {
    const std::string value = qorv_ref::GetParam(created.text, key);
    if (!c.twoPairs && std::string(key).rfind("Sign", 0) == 0) {
      EXPECT_EQ(value, "") << key;
      continue;
    }
    ASSERT_FALSE(value.empty()) << key;
    expected = With(expected, key, value);
  }
  EXPECT_EQ(created.text, expected);
  if (c.withCa) {
    EXPECT_EQ(qorv_ref::GetParam(created.text, "RootCertFile"), m.root.certPath);
  }
  // A chosen password is used; without one a strong one is made and returned.
  if (c.password != nullptr) {
    EXPECT_EQ(qorv_ref::GetParam(created.text, "EncKeyPwd"), c.password);
  } else {
    EXPECT_GE(qorv_ref::GetParam(created.text, "EncKeyPwd").size(), 16u);
  }

  const Reply valid = Validate(created.text, c.twoPairs);
  EXPECT_TRUE(valid.ok) << valid.Message();

  // The new pairs encrypt and decrypt, signed with the two-pair flag.
  std::string certInit = With(SetInit(created.text, c.twoPairs), "RevenueEncCertFile", m.server.cert);
  const std::string source = dir_.Write("plain", "made with new certificates");
  const std::string op = Params({{"SourceFile", source}, {"TargetFile", dir_.File("sealed")}});
  const Reply sealed = RunSequence(certInit, Encrypt, op);
  ASSERT_TRUE(sealed.ok) << sealed.Message();
  const Reply opened =
      RunSequence(certInit, Decrypt, Params({{"SourceFile", dir_.File("sealed")}, {"TargetFile", dir_.File("opened")}}));
  ASSERT_TRUE(opened.ok) << opened.Message();
  EXPECT_EQ(ReadBytes(dir_.File("opened")), "made with new certificates");
}

INSTANTIATE_TEST_SUITE_P(Variants, CreateTest,
                         ::testing::Values(CreateCase{"EcByCaOnePair", false, true, "EC", "chosen-pwd"},
                                           CreateCase{"EcByCaTwoPairs", true, true, "EC", nullptr},
                                           CreateCase{"RsaSelfIssuedTwoPairs", true, false, "RSA", "chosen-pwd"}),
                         [](const ::testing::TestParamInfo<CreateCase>& info) { return std::string(info.param.name); });

TEST(CreateCAFileTest, RefusesToOverwriteAndToWorkWithABadCa) {
  const Material& m = Shared();
  TempFolder dir;
  const std::string base =
      Params({{"User", "bob"}, {"CertOutDir", dir.path()}, {"KeyAlg", "EC"}, {"Mode", "1"}, {"CAISMULTI", "0"}});
  const std::string request = Params({{"User", "bob"}});

  const Reply first = RunSequence(base, CreateCAFile, request);
  ASSERT_TRUE(first.ok) << first.Message();
  const std::string key = GetParam(first.text, "EncKeyFile");
  const std::string keyBefore = ReadBytes(key);
  const std::vector<std::string> namesBefore = dir.Names();

  struct Case {
    const char* name;
    std::string init;
    std::string message;
  };
  const Case cases[] = {
      {"files exist", base, msg::OutputExists(dir.File("bob_root.crt"))},
      {"wrong CA key password",
       With(With(With(base, "CACertFile", m.userSign.cert), "CAKeyFile", m.userSign.key), "CAKeyPwd", "guess"),
       msg::KeyWrongPassword("CA私钥文件", m.userSign.key)},
      {"CA certificate is not a CA",
       With(With(With(base, "CACertFile", m.userSign.cert), "CAKeyFile", m.userSign.key), "CAKeyPwd", "sign-pwd"),
       msg::NotACa(m.userSign.cert)},
      {"CA key of another certificate",
       With(With(With(base, "CACertFile", m.root.certPath), "CAKeyFile", m.userSign.key), "CAKeyPwd", "sign-pwd"),
       msg::CaKeyMismatch(m.userSign.key)},
      {"unknown key algorithm", With(base, "KeyAlg", "DSA"), msg::ExtParamInvalid("KeyAlg", "RSA或EC")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = RunSequence(c.init, CreateCAFile, request);
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.Message(), c.message);
    EXPECT_EQ(ReadBytes(key), keyBefore);
    EXPECT_EQ(dir.Names(), namesBefore);
  }

  const Reply noUser = RunSequence(With(base, "User", ""), CreateCAFile, "");
  EXPECT_FALSE(noUser.ok);
  EXPECT_EQ(noUser.Message(), msg::UserEmpty());
}

TEST(CreateCAFileTest, KeyIterationsSetTheRoundsThatProtectNewKeys) {
  TempFolder dir;
  const std::string init = Params({{"User", "carol"}, {"CertOutDir", dir.path()}, {"KeyAlg", "EC"},
                                   {"KeyIterations", "10000"}, {"Mode", "1"}});
  const Reply created = RunSequence(init, CreateCAFile, "");
  ASSERT_TRUE(created.ok) << created.Message();
  const std::string pem = ReadBytes(qorv_ref::GetParam(created.text, "EncKeyFile"));
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  std::unique_ptr<X509_SIG, OsslDeleter<X509_SIG, X509_SIG_free>> sealed(
      PEM_read_bio_PKCS8(bio.get(), nullptr, nullptr, nullptr));
  ASSERT_TRUE(sealed);
  const X509_ALGOR* algorithm = nullptr;
  X509_SIG_get0(sealed.get(), &algorithm, nullptr);
  std::unique_ptr<PBE2PARAM, OsslDeleter<PBE2PARAM, PBE2PARAM_free>> pbe2(static_cast<PBE2PARAM*>(
      ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), algorithm->parameter)));
  ASSERT_TRUE(pbe2);
  std::unique_ptr<PBKDF2PARAM, OsslDeleter<PBKDF2PARAM, PBKDF2PARAM_free>> pbkdf2(static_cast<PBKDF2PARAM*>(
      ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter)));
  ASSERT_TRUE(pbkdf2);
  EXPECT_EQ(ASN1_INTEGER_get(pbkdf2->iter), 10000);

  const Reply tooFew = RunSequence(With(init, "KeyIterations", "9999"), CreateCAFile, "");
  EXPECT_EQ(tooFew.Message(), msg::ExtParamInvalid("KeyIterations", "10000到1000000之间的整数"));
}

// ---- ValidateCert

TEST(ValidateCertTest, EachFaultHasItsOwnMessage) {
  const Material& m = Shared();
  TempFolder dir;
  const std::string d = dir.path();
  const PkeyPtr encKey = NewEcKey();
  const PairFiles foreign = IssuePair(d, "foreign", m.otherRoot, encKey.get(), {"alice", kEncryptionUsage}, "p");
  CertSpec expiredSpec{"alice", kEncryptionUsage};
  expiredSpec.notBeforeOffset = -7200;
  expiredSpec.notAfterOffset = -3600;
  const PairFiles expired = IssuePair(d, "expired", m.root, encKey.get(), expiredSpec, "p");
  CertSpec futureSpec{"alice", kEncryptionUsage};
  futureSpec.notBeforeOffset = 3600;
  const PairFiles future = IssuePair(d, "future", m.root, encKey.get(), futureSpec, "p");
  const PairFiles signOnly = IssuePair(d, "sign-only", m.root, encKey.get(), {"alice", kSigningUsage}, "p");
  const PairFiles noUsage = IssuePair(d, "no-usage", m.root, encKey.get(), {"alice"}, "p");
  const PairFiles encAsSign = IssuePair(d, "enc-as-sign", m.root, encKey.get(), {"alice", "critical,keyEncipherment"}, "p");
  const Authority oldRoot = MakeAuthority(d, "old-root", -60);

  struct Case {
    const char* name;
    std::string set;
    bool twoPairs;
    std::string message;  // empty: valid
  };
  const std::string good = UserSet(true);
  const auto enc = [&](const PairFiles& pair) {
    return With(With(With(good, "EncCertFile", pair.cert), "EncKeyFile", pair.key), "EncKeyPwd", pair.password);
  };
  const Case cases[] = {
      {"valid two pairs", good, true, ""},
      {"no keyUsage extension allows every use", enc(noUsage), true, ""},
      {"a broken signing pair does not count without the flag", With(UserSet(true), "SignCertFile", foreign.cert), false,
       ""},
      {"issued by another CA", enc(foreign), true, msg::NotIssuedByRoot("加密证书", foreign.cert)},
      {"expired", enc(expired), true, msg::Expired("加密证书", expired.cert)},
      {"not yet valid", enc(future), true, msg::NotYetValid("加密证书", future.cert)},
      {"signing usage only", enc(signOnly), true, msg::UsageNotForEncryption(signOnly.cert)},
      {"key of another certificate", With(With(good, "EncKeyFile", noUsage.key), "EncKeyPwd", "p"), true, msg::KeyMismatch("加密私钥文件", noUsage.key, "加密证书")},
      {"wrong key password", With(good, "EncKeyPwd", "guess"), true,
       msg::KeyWrongPassword("加密私钥文件", m.userEnc.key)},
      {"signing certificate from another CA", With(good, "SignCertFile", foreign.cert), true,
       msg::NotIssuedByRoot("签名证书", foreign.cert)},
      {"signing certificate for encryption only",
       With(With(With(good, "SignCertFile", encAsSign.cert), "SignKeyFile", encAsSign.key), "SignKeyPwd", "p"), true,
       msg::UsageNotForSigning(encAsSign.cert)},
      {"certificate file missing", With(good, "EncCertFile", dir.File("none.crt")), true,
       msg::FileMissing("加密证书文件", dir.File("none.crt"))},
      {"signing pair missing", With(good, "SignKeyFile", ""), true, msg::ParamMissing("SignKeyFile")},
      {"no root", With(good, "RootCertFile", ""), true, msg::ParamMissing("RootCertFile")},
      {"root expired", With(good, "RootCertFile", oldRoot.certPath), true, msg::Expired("根证书", oldRoot.certPath)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = Validate(c.set, c.twoPairs);
    EXPECT_EQ(reply.ok, c.message.empty());
    EXPECT_EQ(reply.Message(), c.message);
  }
}

// ---- ChangeCAPassword

class ChangePasswordTest : public ::testing::Test {
 protected:
  // Copies of the user's key files, so that the shared ones stay as they are.
  void SetUp() override {
    const Material& m = Shared();
    encKey_ = dir_.Write("enc.key", ReadBytes(m.userEnc.key));
    signKey_ = dir_.Write("sign.key", ReadBytes(m.userSign.key));
    set_ = With(With(UserSet(true), "EncKeyFile", encKey_), "SignKeyFile", signKey_);
  }
  Reply Change(const std::string& set, const std::string& newEnc, const std::string& newSign) {
    return RunSequence(SetInit(set, true), ChangeCAPassword, Params({{"EncKeyPwd", newEnc}, {"SignKeyPwd", newSign}}));
  }

  TempFolder dir_;
  std::string encKey_;
  std::string signKey_;
  std::string set_;
};

TEST_F(ChangePasswordTest, KeysOpenUnderTheNewPasswordsOnly) {
  const Material& m = Shared();
  // A file sealed before the change still opens with the re-protected key.
  const std::string source = dir_.Write("plain", "before the change");
  const std::string init = With(SetInit(set_, true), "RevenueEncCertFile", m.server.cert);
  ASSERT_TRUE(RunSequence(init, Encrypt, Params({{"SourceFile", source}, {"TargetFile", dir_.File("sealed")}})).ok);

  const Reply changed = Change(set_, "new-enc", "new-sign");
  ASSERT_TRUE(changed.ok) << changed.Message();
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"enc.key", "plain", "sealed", "sign.key"}));

  const std::string renewed = With(With(set_, "EncKeyPwd", "new-enc"), "SignKeyPwd", "new-sign");
  const Reply valid = Validate(renewed, true);
  EXPECT_TRUE(valid.ok) << valid.Message();
  EXPECT_EQ(Validate(set_, true).Message(), msg::KeyWrongPassword("加密私钥文件", encKey_));
  EXPECT_EQ(Validate(With(set_, "EncKeyPwd", "new-enc"), true).Message(),
            msg::KeyWrongPassword("签名私钥文件", signKey_));

  const Reply opened = RunSequence(With(init, "EncKeyPwd", "new-enc"), Decrypt,
                                   Params({{"SourceFile", dir_.File("sealed")}, {"TargetFile", dir_.File("opened")}}));
  ASSERT_TRUE(opened.ok) << opened.Message();
  EXPECT_EQ(ReadBytes(dir_.File("opened")), "before the change");
}

TEST_F(ChangePasswordTest, AnyRefusalLeavesBothKeyFilesUntouched) {
  const std::string encBefore = ReadBytes(encKey_);
  const std::string signBefore = ReadBytes(signKey_);
  struct Case {
    const char* name;
    std::string set;
    std::string newEnc;
    std::string newSign;
    std::string message;
  };
  const Case cases[] = {
      {"wrong old signing password", With(set_, "SignKeyPwd", "guess"), "n1", "n2",
       msg::KeyWrongPassword("签名私钥文件", signKey_)},
      {"empty new password", set_, "n1", "", msg::NewPasswordEmpty("SignKeyPwd")},
      {"no key file", With(set_, "EncKeyFile", ""), "n1", "n2", msg::ParamMissing("EncKeyFile")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = Change(c.set, c.newEnc, c.newSign);
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.Message(), c.message);
    EXPECT_EQ(ReadBytes(encKey_), encBefore);
    EXPECT_EQ(ReadBytes(signKey_), signBefore);
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"enc.key", "sign.key"}));
  }
}

}  // namespace
}  // namespace qorv_ref::test
