#include "Material.h"

namespace qorv_ref::test {

Material::Material()
    : root(MakeAuthority(dir.path(), "root")),
      otherRoot(MakeAuthority(dir.path(), "other-root")) {
  const std::string d = dir.path();
  userEnc = IssuePair(d, "user-enc", root, NewEcKey().get(), {"alice", kEncryptionUsage}, "enc-pwd");
  userSign = IssuePair(d, "user-sign", root, NewEcKey().get(), {"alice", kSigningUsage}, "sign-pwd");
  server = IssuePair(d, "server", root, NewRsaKey().get(), {"server", kEncryptionUsage}, "server-pwd");
  stranger = IssuePair(d, "stranger", root, NewEcKey().get(), {"mallory", kEncryptionUsage}, "stranger-pwd");
  foreignSign = IssuePair(d, "foreign-sign", otherRoot, NewEcKey().get(), {"alice", kSigningUsage}, "sign-pwd");
  const std::string key = SampleBytes(32, 7);
  keyFile = dir.Write("key.bin", key);
  static const char kHex[] = "0123456789abcdef";
  std::string hex = "  ";
  for (const char c : key) {
    hex += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
    hex += kHex[static_cast<unsigned char>(c) & 0xF];
  }
  hexKeyFile = dir.Write("key.hex", hex + "\n");
  otherKeyFile = dir.Write("other-key.bin", SampleBytes(32, 8));
}

const Material& Shared() {
  static const Material material;
  return material;
}

std::string CertInit(bool twoPairs) {
  const Material& m = Shared();
  std::string init = Params({{"RevenueEncCertFile", m.server.cert},
                             {"RootCertFile", m.root.certPath},
                             {"EncCertFile", m.userEnc.cert},
                             {"EncKeyFile", m.userEnc.key},
                             {"EncKeyPwd", m.userEnc.password}});
  if (twoPairs) {
    init = With(init, "SignCertFile", m.userSign.cert);
    init = With(init, "SignKeyFile", m.userSign.key);
    init = With(init, "SignKeyPwd", m.userSign.password);
  }
  init = With(init, "User", "alice");
  init = With(init, "CAMode", "1");
  init = With(init, "Mode", "1");
  return With(init, "CAISMULTI", twoPairs ? "1" : "0");
}

}  // namespace qorv_ref::test
