// Encrypt and Decrypt through the exports, in every mode: round trips, and the refusals
// of damaged files and wrong credentials, which must never leave a target behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <thread>

#include "Material.h"
#include "Messages.h"
#include "Ossl.h"
#include "ParamText.h"

namespace qorv_ref::test {
namespace {

constexpr size_t kSegment = 1 << 20;  // of files written now

enum class Kind { Cert, CertTwoPairs, Password, KeyFileRaw, KeyFileHex };
const char* const kKindNames[] = {"Cert", "CertTwoPairs", "Password", "KeyFileRaw", "KeyFileHex"};
void PrintTo(Kind kind, std::ostream* out) { *out << kKindNames[static_cast<int>(kind)]; }

std::string InitFor(Kind kind) {
  const Material& m = Shared();
  switch (kind) {
    case Kind::Cert: return CertInit(false);
    case Kind::CertTwoPairs: return CertInit(true);
    case Kind::Password: return Params({{"PassWord", "s3cret;=pwd"}, {"User", "alice"}, {"Mode", "2"}});
    case Kind::KeyFileRaw: return Params({{"User", "alice"}, {"KeyFile", m.keyFile}, {"Mode", "0"}});
    case Kind::KeyFileHex: return Params({{"User", "alice"}, {"KeyFile", m.hexKeyFile}, {"Mode", "7"}});
  }
  return std::string();
}

// The operation string; the KDF cost comes as an extension parameter, kept low for speed.
std::string Op(const std::string& source, const std::string& target) {
  return Params({{"User", "alice"}, {"SourceFile", source}, {"TargetFile", target}, {"KdfCost", "10"}});
}

class FileCryptTest : public ::testing::Test {
 protected:
  Reply EncryptFile(const std::string& init, const std::string& source, const std::string& target) {
    return RunSequence(init, Encrypt, Op(source, target));
  }
  Reply DecryptFile(const std::string& init, const std::string& source, const std::string& target) {
    return RunSequence(init, Decrypt, Op(source, target));
  }
  // Encrypts bytes into the folder under name and returns the encrypted file's path.
  std::string Sealed(const std::string& init, const std::string& bytes, const std::string& name = "sealed") {
    const std::string plain = dir_.Write(name + ".plain", bytes);
    const Reply reply = EncryptFile(init, plain, dir_.File(name));
    EXPECT_TRUE(reply.ok) << reply.Message();
    std::remove(plain.c_str());
    return dir_.File(name);
  }
  void ExpectRefusedWithoutTarget(const Reply& reply, const std::string& message, const std::string& target) {
    EXPECT_FALSE(reply.ok);
    EXPECT_EQ(reply.Message(), message);
    EXPECT_FALSE(Exists(target));
    for (const std::string& name : dir_.Names()) EXPECT_NE(name.front(), '.') << "temporary file left: " << name;
  }

  TempFolder dir_;
};

// ---- round trips

class RoundTripTest : public FileCryptTest, public ::testing::WithParamInterface<Kind> {};

TEST_P(RoundTripTest, DecryptGivesBackEveryByteAndTheCiphertextHidesThem) {
  const std::string init = InitFor(GetParam());
  // Empty, small, exactly one segment, and several segments with a short last one.
  for (const size_t size : {size_t{0}, size_t{100}, kSegment, 2 * kSegment + 1}) {
    SCOPED_TRACE(size);
    const std::string plain = SampleBytes(size, static_cast<unsigned>(size));
    const std::string source = dir_.Write("plain", plain);
    const Reply sealed = EncryptFile(init, source, dir_.File("sealed"));
    ASSERT_TRUE(sealed.ok) << sealed.Message();
    const std::string ciphertext = ReadBytes(dir_.File("sealed"));
    EXPECT_GT(ciphertext.size(), plain.size());
    if (size >= 64) {
      EXPECT_EQ(ciphertext.find(plain.substr(0, 64)), std::string::npos);
    }

    const Reply opened = DecryptFile(init, dir_.File("sealed"), dir_.File("opened"));
    ASSERT_TRUE(opened.ok) << opened.Message();
    EXPECT_TRUE(ReadBytes(dir_.File("opened")) == plain);
    EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"opened", "plain", "sealed"}));
  }
}

std::string KindName(const ::testing::TestParamInfo<Kind>& info) { return kKindNames[static_cast<int>(info.param)]; }

INSTANTIATE_TEST_SUITE_P(Modes, RoundTripTest,
                         ::testing::Values(Kind::Cert, Kind::CertTwoPairs, Kind::Password, Kind::KeyFileRaw,
                                           Kind::KeyFileHex),
                         KindName);

TEST_F(FileCryptTest, TheServerOpensWhatTheUserSealedAndNobodyElseDoes) {
  const Material& m = Shared();
  const std::string sealed = Sealed(CertInit(true), "for both sides");

  std::string server = With(CertInit(true), "EncCertFile", m.server.cert);
  server = With(server, "EncKeyFile", m.server.key);
  server = With(server, "EncKeyPwd", m.server.password);
  const Reply opened = DecryptFile(server, sealed, dir_.File("opened"));
  ASSERT_TRUE(opened.ok) << opened.Message();
  EXPECT_EQ(ReadBytes(dir_.File("opened")), "for both sides");

  std::string stranger = With(CertInit(false), "EncCertFile", m.stranger.cert);
  stranger = With(stranger, "EncKeyFile", m.stranger.key);
  stranger = With(stranger, "EncKeyPwd", m.stranger.password);
  ExpectRefusedWithoutTarget(DecryptFile(stranger, sealed, dir_.File("stolen")), msg::NotARecipient(),
                             dir_.File("stolen"));
}

TEST_F(FileCryptTest, DecryptIntoTheSourceItselfReplacesIt) {
  const std::string sealed = Sealed(InitFor(Kind::Password), "in place");
  ASSERT_TRUE(DecryptFile(InitFor(Kind::Password), sealed, sealed).ok);
  EXPECT_EQ(ReadBytes(sealed), "in place");
}

// ---- damaged files

// Where the header ends and each record lies, as offset and length.
struct Layout {
  size_t headerEnd = 0;
  std::vector<std::pair<size_t, size_t>> records;
};

Layout Parse(const std::string& file) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  Layout layout;
  layout.headerEnd = 48 + GetU32(bytes + 44) + 32;
  for (size_t at = layout.headerEnd; at + 5 <= file.size(); at += 5 + GetU32(bytes + at + 1)) {
    layout.records.emplace_back(at, 5 + GetU32(bytes + at + 1));
  }
  return layout;
}

std::string RecordBytes(const std::string& file, const Layout& layout, size_t index) {
  return file.substr(layout.records[index].first, layout.records[index].second);
}

struct Damage {
  const char* name;
  std::function<void(std::string&, const Layout&)> apply;
  std::string message;
};

TEST_F(FileCryptTest, DamagedFilesAreRefusedWithTheirCause) {
  using L = const Layout&;
  const Damage cases[] = {
      {"flipped ciphertext byte", [](std::string& f, L l) { f[l.records[1].first + 100] ^= 1; }, msg::Tampered()},
      {"flipped tag of the last record", [](std::string& f, L) { f.back() ^= 0x80; }, msg::Tampered()},
      {"records swapped",
       [](std::string& f, L l) {
         const std::string first = RecordBytes(f, l, 0);
         const std::string second = RecordBytes(f, l, 1);
         f.replace(l.records[0].first, first.size() + second.size(), second + first);
       },
       msg::Tampered()},
      {"middle record dropped", [](std::string& f, L l) { f.erase(l.records[1].first, l.records[1].second); },
       msg::Tampered()},
      {"first record marked last", [](std::string& f, L l) { f[l.records[0].first] = 1; }, msg::Tampered()},
      {"last record dropped", [](std::string& f, L l) { f.resize(l.records.back().first); }, msg::Truncated()},
      {"last byte cut", [](std::string& f, L) { f.pop_back(); }, msg::Truncated()},
      {"cut inside the header", [](std::string& f, L) { f.resize(30); }, msg::Truncated()},
      {"last record repeated", [](std::string& f, L l) { f += RecordBytes(f, l, l.records.size() - 1); },
       msg::TrailingData()},
      {"salt changed", [](std::string& f, L) { f[20] ^= 1; }, msg::WrongPassword()},
      {"segment size changed", [](std::string& f, L) { f[9] ^= 0x18; }, msg::WrongPassword()},  // 512 KiB
      {"segment size out of range", [](std::string& f, L) { f[9] ^= 1; }, msg::HeaderDamaged()},
      {"mode byte changed", [](std::string& f, L) { f[5] = 3; }, msg::ModeMismatch()},
      {"newer format version", [](std::string& f, L) { f[4] = 2; }, msg::UnsupportedFormat()},
      {"not an encrypted file", [](std::string& f, L) { f = "plain text, not ours"; }, msg::NotOurFile()},
  };
  const std::string init = InitFor(Kind::Password);
  const std::string original = ReadBytes(Sealed(init, SampleBytes(2 * kSegment + 10)));
  const Layout layout = Parse(original);
  ASSERT_EQ(layout.records.size(), 3u);

  for (const Damage& damage : cases) {
    SCOPED_TRACE(damage.name);
    std::string file = original;
    damage.apply(file, layout);
    const std::string source = dir_.Write("damaged", file);
    ExpectRefusedWithoutTarget(DecryptFile(init, source, dir_.File("opened")), damage.message, dir_.File("opened"));
  }
}

TEST_F(FileCryptTest, SignedFilesNeedTheirSignatureFromTheRootsSigner) {
  const Material& m = Shared();
  const std::string init = CertInit(true);
  const std::string original = ReadBytes(Sealed(init, "signed content"));
  const Layout layout = Parse(original);
  ASSERT_EQ(layout.records.size(), 2u);  // the data, then the signature

  std::string noSignature = original.substr(0, layout.records[1].first);
  ExpectRefusedWithoutTarget(DecryptFile(init, dir_.Write("damaged", noSignature), dir_.File("opened")),
                             msg::Truncated(), dir_.File("opened"));
  std::string badSignature = original;
  badSignature[layout.records[1].first + 50] ^= 4;
  ExpectRefusedWithoutTarget(DecryptFile(init, dir_.Write("damaged", badSignature), dir_.File("opened")),
                             msg::Tampered(), dir_.File("opened"));

  // Signed by a pair from another CA: the content is intact, the signer is not trusted.
  std::string foreign = With(init, "SignCertFile", m.foreignSign.cert);
  foreign = With(foreign, "SignKeyFile", m.foreignSign.key);
  const std::string foreignSealed = Sealed(foreign, "signed elsewhere", "foreign");
  ExpectRefusedWithoutTarget(DecryptFile(init, foreignSealed, dir_.File("opened")), msg::SignatureInvalid(),
                             dir_.File("opened"));
  // ...and opens where that CA is the root.
  EXPECT_TRUE(DecryptFile(With(init, "RootCertFile", m.otherRoot.certPath), foreignSealed, dir_.File("opened")).ok);

  // With the two-pair flag an unsigned file is not accepted.
  const std::string unsigned_ = Sealed(CertInit(false), "unsigned", "unsigned");
  ExpectRefusedWithoutTarget(DecryptFile(init, unsigned_, dir_.File("opened2")), msg::SignatureMissing(),
                             dir_.File("opened2"));
  EXPECT_TRUE(DecryptFile(CertInit(false), unsigned_, dir_.File("opened2")).ok);
}

TEST_F(FileCryptTest, AFailedDecryptLeavesAnExistingTargetAsItWas) {
  const std::string sealed = Sealed(InitFor(Kind::Password), SampleBytes(3 * kSegment));
  std::string file = ReadBytes(sealed);
  file[file.size() - 20] ^= 1;  // the last record: everything before it decrypts
  WriteBytes(sealed, file);
  const std::string target = dir_.Write("target", "previous content");

  const Reply reply = DecryptFile(InitFor(Kind::Password), sealed, target);
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.Message(), msg::Tampered());
  EXPECT_EQ(ReadBytes(target), "previous content");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"sealed", "target"}));
}

TEST_F(FileCryptTest, ManySegmentsComeBackInOrder) {
  // More segments than the writer has blocks, so encryption waits for the writer.
  const std::string plain = SampleBytes(9 * kSegment + 3, 5);
  const std::string init = InitFor(Kind::KeyFileRaw);
  const std::string source = dir_.Write("plain", plain);
  ASSERT_TRUE(EncryptFile(init, source, dir_.File("sealed")).ok);
  EXPECT_EQ(Parse(ReadBytes(dir_.File("sealed"))).records.size(), 10u);
  ASSERT_TRUE(DecryptFile(init, dir_.File("sealed"), dir_.File("opened")).ok);
  EXPECT_TRUE(ReadBytes(dir_.File("opened")) == plain);
}

TEST_F(FileCryptTest, LeftoversOfAKilledWriterGoWithTheNextFileWrittenToTheSameTarget) {
  const std::string init = InitFor(Kind::KeyFileRaw);
  const std::string sealed = Sealed(init, "content");
  // What a writer killed before its commit leaves, and names that only look alike.
  const std::string leftover = dir_.Write(".opened.k3j5h2l9q8w1.qrvpart", "plaintext of a killed run");
  dir_.Write(".opened.k3j5h2l9q8w1", "not a temporary file's name");
  dir_.Write(".other.k3j5h2l9q8w1.qrvpart", "another target's");
  const Reply reply = DecryptFile(init, sealed, dir_.File("opened"));
  ASSERT_TRUE(reply.ok) << reply.Message();
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{".opened.k3j5h2l9q8w1", ".other.k3j5h2l9q8w1.qrvpart", "opened",
                                                    "sealed"}));
}

// ---- files written by earlier versions, kept as they were written

const std::string kOldFiles = QORV_REF_TEST_DATA;

TEST_F(FileCryptTest, FilesOf64KiBSegmentsStillDecrypt) {
  const std::string old = kOldFiles + "/segments-64k.qcm";  // a full segment and one byte
  ASSERT_EQ(GetU32(reinterpret_cast<const unsigned char*>(ReadBytes(old).data()) + 8), 64u * 1024);
  const Reply reply = DecryptFile(InitFor(Kind::KeyFileRaw), old, dir_.File("opened"));
  ASSERT_TRUE(reply.ok) << reply.Message();
  EXPECT_TRUE(ReadBytes(dir_.File("opened")) == SampleBytes(64 * 1024 + 1, 11));
}

TEST_F(FileCryptTest, FilesOfTheFormerScryptCostStillDecrypt) {
  const std::string old = kOldFiles + "/scrypt-2-16.qcm";
  EXPECT_EQ(ReadBytes(old)[49], 16);  // log2 N
  const Reply reply = DecryptFile(InitFor(Kind::Password), old, dir_.File("opened"));
  ASSERT_TRUE(reply.ok) << reply.Message();
  EXPECT_EQ(ReadBytes(dir_.File("opened")), "written with the former scrypt default");
}

TEST_F(FileCryptTest, NewFilesCarryOneMiBSegmentsAndTheDefaultScryptCost) {
  const std::string plain = dir_.Write("plain", "x");
  const std::string sealed = dir_.File("sealed");
  // Without KdfCost, unlike Op().
  const std::string op = Params({{"User", "alice"}, {"SourceFile", plain}, {"TargetFile", sealed}});
  ASSERT_TRUE(RunSequence(InitFor(Kind::Password), Encrypt, op).ok);
  const std::string file = ReadBytes(sealed);
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  EXPECT_EQ(GetU32(bytes + 8), kSegment);
  EXPECT_EQ(GetU32(bytes + 44), 10u);  // scrypt's parameters: id, log2 N, r, p
  EXPECT_EQ(bytes[48], 1);
  EXPECT_EQ(bytes[49], 14);  // 16 MiB
  EXPECT_EQ(GetU32(bytes + 50), 8u);
  EXPECT_EQ(GetU32(bytes + 54), 1u);
  EXPECT_TRUE(DecryptFile(InitFor(Kind::Password), sealed, dir_.File("opened")).ok);
}

// ---- wrong credentials and missing inputs

TEST_F(FileCryptTest, WrongCredentialsAreRefusedWithTheirCause) {
  const Material& m = Shared();
  const std::string byPassword = Sealed(InitFor(Kind::Password), "p", "by-password");
  const std::string byKeyFile = Sealed(InitFor(Kind::KeyFileRaw), "k", "by-key-file");
  const std::string byCert = Sealed(CertInit(false), "c", "by-cert");
  struct Case {
    const char* name;
    std::string init;
    std::string source;
    std::string message;
  };
  const Case cases[] = {
      {"wrong password", With(InitFor(Kind::Password), "PassWord", "guess"), byPassword, msg::WrongPassword()},
      {"no password stored", With(InitFor(Kind::Password), "PassWord", ""), byPassword, msg::PasswordEmpty()},
      {"other key file", With(InitFor(Kind::KeyFileRaw), "KeyFile", m.otherKeyFile), byKeyFile, msg::WrongKeyFile()},
      {"key-file mode on a password file", InitFor(Kind::KeyFileRaw), byPassword, msg::ModeMismatch()},
      {"wrong key password", With(CertInit(false), "EncKeyPwd", "guess"), byCert,
       msg::KeyWrongPassword("加密私钥文件", m.userEnc.key)},
      {"key of another certificate", With(CertInit(false), "EncCertFile", m.stranger.cert), byCert,
       msg::KeyMismatch("加密私钥文件", m.userEnc.key, "加密证书")},
      {"missing source", InitFor(Kind::Password), dir_.File("absent"), msg::FileMissing("源文件", dir_.File("absent"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRefusedWithoutTarget(DecryptFile(c.init, c.source, dir_.File("opened")), c.message, dir_.File("opened"));
  }
}

TEST_F(FileCryptTest, EncryptRefusesWhatItCannotUse) {
  const Material& m = Shared();
  const std::string source = dir_.Write("plain", "data");
  const std::string shortKey = dir_.Write("short.key", std::string(31, 'k'));
  struct Case {
    const char* name;
    std::string init;
    std::string op;
    std::string message;
  };
  const std::string target = dir_.File("sealed");
  const Case cases[] = {
      {"no key file", Params({{"Mode", "0"}}), Op(source, target), msg::KeyFileNotConfigured()},
      {"key file of 31 bytes", Params({{"Mode", "0"}, {"KeyFile", shortKey}}), Op(source, target),
       msg::KeyFileInvalid(shortKey)},
      {"empty password", Params({{"Mode", "2"}}), Op(source, target), msg::PasswordEmpty()},
      {"KDF cost out of range", InitFor(Kind::Password), With(Op(source, target), "KdfCost", "9"),
       msg::ExtParamInvalid("KdfCost", "10到20之间的整数")},
      {"no server certificate", With(CertInit(false), "RevenueEncCertFile", ""), Op(source, target),
       msg::ParamMissing("RevenueEncCertFile")},
      {"server certificate missing", With(CertInit(false), "RevenueEncCertFile", dir_.File("none.crt")),
       Op(source, target), msg::FileMissing("服务器加密证书文件", dir_.File("none.crt"))},
      {"a key as certificate", With(CertInit(false), "EncCertFile", m.userEnc.key), Op(source, target),
       msg::NotACertificate("加密证书文件", m.userEnc.key)},
      {"wrong signing key password", With(CertInit(true), "SignKeyPwd", "guess"), Op(source, target),
       msg::KeyWrongPassword("签名私钥文件", m.userSign.key)},
      {"missing source", InitFor(Kind::Password), Op(dir_.File("absent"), target),
       msg::FileMissing("源文件", dir_.File("absent"))},
      {"no target", InitFor(Kind::Password), With(Op(source, target), "TargetFile", ""),
       msg::ParamMissing("TargetFile")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRefusedWithoutTarget(RunSequence(c.init, Encrypt, c.op), c.message, target);
  }
  const std::string nowhere = dir_.File("no-such-folder/sealed");
  const Reply reply = EncryptFile(InitFor(Kind::Password), source, nowhere);
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.Message(), msg::TargetNotCreatable(nowhere));
}

// ---- the call sequence

TEST_F(FileCryptTest, OperationsNeedAnInitCryptOfTheSameSequence) {
  const std::string source = dir_.Write("plain", "data");
  const Reply before = Call(Encrypt, Op(source, dir_.File("sealed")));
  EXPECT_FALSE(before.ok);
  EXPECT_EQ(before.Message(), msg::NotInitialised());

  // FinalCrypt forgets the credentials.
  ASSERT_TRUE(EncryptFile(InitFor(Kind::Password), source, dir_.File("sealed")).ok);
  const Reply after = Call(Decrypt, Op(dir_.File("sealed"), dir_.File("opened")));
  EXPECT_FALSE(after.ok);
  EXPECT_EQ(after.Message(), msg::NotInitialised());
  EXPECT_FALSE(Exists(dir_.File("opened")));
}

unsigned char QORVCRYPT_CALL InitWithoutHandle(char** params) { return InitCrypt(0, params); }

TEST_F(FileCryptTest, ASequenceOnAnotherThreadDoesNotDisturbThisOne) {
  const std::string source = dir_.Write("plain", "data");
  const std::string mine = With(InitFor(Kind::Password), "PassWord", "mine");
  ASSERT_TRUE(Call(InitWithoutHandle, mine).ok);

  std::thread other([&] {
    EXPECT_TRUE(RunSequence(With(mine, "PassWord", "theirs"), Encrypt, Op(source, dir_.File("theirs"))).ok);
  });
  other.join();

  const Reply sealed = Call(Encrypt, Op(source, dir_.File("mine")));
  Call(FinalCrypt, "");
  ASSERT_TRUE(sealed.ok) << sealed.Message();
  EXPECT_TRUE(DecryptFile(mine, dir_.File("mine"), dir_.File("opened")).ok);
  EXPECT_EQ(DecryptFile(mine, dir_.File("theirs"), dir_.File("opened2")).Message(), msg::WrongPassword());
}

TEST_F(FileCryptTest, ANullBufferIsRefusedWithoutTouchingAnything) {
  char* none = nullptr;
  for (QorvProviderFn function : {Encrypt, Decrypt, FinalCrypt, GetUSBCertFile, CreateCAFile, ValidateCert}) {
    EXPECT_EQ(function(nullptr), 0);
    EXPECT_EQ(function(&none), 0);
  }
  EXPECT_EQ(InitCrypt(0, &none), 0);
}

TEST_F(FileCryptTest, GetUSBCertFileAnswersThatThereIsNoUsbKeyAndKeepsTheRequest) {
  const Reply reply = RunSequence(CertInit(false), GetUSBCertFile, "EncCertFile=/tmp/x.crt;ResultMsgStr=old");
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.Message(), msg::NoUsbKey());
  EXPECT_EQ(GetParam(reply.text, "EncCertFile"), "/tmp/x.crt");
}

}  // namespace
}  // namespace qorv_ref::test
