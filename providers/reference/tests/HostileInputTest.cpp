// Forged files and oversized requests: what they cost the host before they are refused.
#include <gtest/gtest.h>

#include "Material.h"
#include "Messages.h"
#include "ParamText.h"

namespace qorv_ref::test {
namespace {

const std::string kData = QORV_REF_TEST_DATA;

std::string PasswordInit(const std::string& kdfCost = "") {
  std::string init = Params({{"PassWord", "pwd"}, {"User", "alice"}, {"Mode", "2"}});
  return kdfCost.empty() ? init : With(init, "KdfCost", kdfCost);
}

Reply DecryptWith(const std::string& init, const std::string& source, const std::string& target) {
  return RunSequence(init, Decrypt, Params({{"SourceFile", source}, {"TargetFile", target}}));
}

// A password-mode file whose header names the scrypt parameters log2N, r and p.
std::string WithScryptParams(const std::string& file, unsigned char log2N, uint32_t r, uint32_t p) {
  std::string forged = file;
  forged[49] = static_cast<char>(log2N);
  for (int i = 0; i < 4; ++i) {
    forged[50 + i] = static_cast<char>(r >> (24 - 8 * i));
    forged[54 + i] = static_cast<char>(p >> (24 - 8 * i));
  }
  return forged;
}

TEST(ForgedFileTest, ScryptParametersBeyondWhatThisProviderWritesAreRefusedAsADamagedHeader) {
  TempFolder dir;
  const std::string plain = dir.Write("plain", "data");
  ASSERT_TRUE(
      RunSequence(PasswordInit("10"), Encrypt, Params({{"SourceFile", plain}, {"TargetFile", dir.File("sealed")}})).ok);
  const std::string sealed = ReadBytes(dir.File("sealed"));
  struct Case {
    const char* name;
    std::string file;
    std::string kdfCost;  // of the type, as configured
  };
  const Case cases[] = {
      // 90 bytes that asked for 1 GiB and four passes of it.
      {"the forged header of 2^20, r 8, p 4", ReadBytes(kData + "/forged-scrypt-2-20-p4.qcm"), ""},
      {"2^17, above the former default", WithScryptParams(sealed, 17, 8, 1), ""},
      {"2^17 with the type at 2^16", WithScryptParams(sealed, 17, 8, 1), "16"},
      {"2^21, above any configurable cost", WithScryptParams(sealed, 21, 8, 1), "20"},
      {"larger blocks", WithScryptParams(sealed, 10, 64, 1), ""},
      {"more passes", WithScryptParams(sealed, 10, 8, 2), ""},
      {"no passes", WithScryptParams(sealed, 10, 8, 0), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply reply = DecryptWith(PasswordInit(c.kdfCost), dir.Write("forged", c.file), dir.File("opened"));
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.Message(), msg::HeaderDamaged());
    EXPECT_FALSE(Exists(dir.File("opened")));
  }
  // Costs this provider writes still reach the password check.
  const Reply within = DecryptWith(PasswordInit(), dir.Write("forged", WithScryptParams(sealed, 11, 8, 1)),
                                   dir.File("opened"));
  EXPECT_EQ(within.Message(), msg::WrongPassword());
}

TEST(ForgedFileTest, ATypeConfiguredAboveTheFormerDefaultOpensItsOwnFiles) {
  TempFolder dir;
  const std::string plain = dir.Write("plain", "costly");
  const std::string init = PasswordInit("17");
  ASSERT_TRUE(RunSequence(init, Encrypt, Params({{"SourceFile", plain}, {"TargetFile", dir.File("sealed")}})).ok);
  const Reply opened = DecryptWith(init, dir.File("sealed"), dir.File("opened"));
  ASSERT_TRUE(opened.ok) << opened.Message();
  EXPECT_EQ(ReadBytes(dir.File("opened")), "costly");
  EXPECT_EQ(DecryptWith(PasswordInit(), dir.File("sealed"), dir.File("opened2")).Message(), msg::HeaderDamaged());
}

TEST(ForgedFileTest, KeyFilesAskingForMoreKeyDerivationThanAllowedAreRefusedUnopened) {
  const Material& m = Shared();
  TempFolder dir;
  const std::string plain = dir.Write("plain", "data");
  const std::string sealed = dir.File("sealed");
  ASSERT_TRUE(RunSequence(CertInit(false), Encrypt, Params({{"SourceFile", plain}, {"TargetFile", sealed}})).ok);
  for (const char* name : {"forged-pbkdf2-8388607-rounds.key", "forged-scrypt-p127.key"}) {
    SCOPED_TRACE(name);
    const std::string key = kData + "/" + name;
    const std::string init = With(With(With(CertInit(false), "EncKeyFile", key), "EncKeyPwd", "forged"), "EncCertFile", "");
    const Reply decrypted = DecryptWith(init, sealed, dir.File("opened"));
    EXPECT_FALSE(decrypted.ok);
    EXPECT_EQ(decrypted.Message(), msg::KeyCostTooHigh("加密私钥文件", key));
    const Reply validated = RunSequence(With(init, "EncCertFile", m.userEnc.cert), ValidateCert, "");
    EXPECT_EQ(validated.Message(), msg::KeyCostTooHigh("加密私钥文件", key));
  }
  // The provider's own keys (200,000 rounds) open as before.
  EXPECT_TRUE(DecryptWith(CertInit(false), sealed, dir.File("opened")).ok);
}

// ---- requests longer than the contract's buffer

// A request of more than the contract's 10,240 bytes: an extension parameter of the
// type that long, and what follows it.
std::string Padded(const std::string& text) { return With(text, "Remark", std::string(11 * 1024, 'r')); }

TEST(LongRequestTest, IsReadWholeToItsEnd) {
  const Material& m = Shared();
  // The signing pair is from another CA: only CAISMULTI, past the first 10,240 bytes,
  // has it checked.
  std::string set = Padded(Params({{"RootCertFile", m.root.certPath},
                                   {"EncCertFile", m.userEnc.cert},
                                   {"EncKeyFile", m.userEnc.key},
                                   {"EncKeyPwd", m.userEnc.password},
                                   {"User", "alice"},
                                   {"Mode", "1"}}));
  set = With(With(With(set, "SignCertFile", m.foreignSign.cert), "SignKeyFile", m.foreignSign.key), "SignKeyPwd",
             m.foreignSign.password);
  set = With(set, "CAISMULTI", "1");
  ASSERT_GT(set.find("CAISMULTI"), size_t{QORVCRYPT_PROVIDER_BUFFER_SIZE});
  const Reply reply = RunSequence(set, ValidateCert, "");
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.Message(), msg::NotIssuedByRoot("签名证书", m.foreignSign.cert));

  // An operation's own long string: its target comes last.
  TempFolder dir;
  const std::string plain = dir.Write("plain", "long");
  const std::string op = With(Padded(Params({{"SourceFile", plain}})), "TargetFile", dir.File("sealed"));
  const Reply sealed = RunSequence(PasswordInit("10"), Encrypt, op);
  ASSERT_TRUE(sealed.ok) << sealed.Message();
  EXPECT_TRUE(Exists(dir.File("sealed")));
}

TEST(LongRequestTest, ARefusalOfALongRequestStaysWithinItsBuffer) {
  // GetUSBCertFile keeps the request in its reply; when request and message do not fit
  // the buffer together, the message alone comes back.
  const std::string request = std::string(20000, 'x');
  const Reply reply = RunSequence(CertInit(false), GetUSBCertFile, request);
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.text, SetParam("", "ResultMsgStr", msg::NoUsbKey()));
}

}  // namespace
}  // namespace qorv_ref::test
