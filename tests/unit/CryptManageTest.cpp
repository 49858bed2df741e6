#include "interface/CryptManage.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "interface/AppWindow.h"
#include "interface/ExportFrame.h"
#include "interface/ParamString.h"
#include "support/ConfigXml.h"
#include "support/TempDir.h"
#include "util/Messages.h"

namespace qorv {
namespace {

TEST(CryptManageTest, HasKeyFilesLooksAtTheEntriesOnly) {
  struct Case {
    std::string params;
    bool withoutSign;
    bool withSign;
  };
  const Case cases[] = {
      {";EncKeyFile=a.key;", true, false},
      {";EncKeyFile=a.key;SignKeyFile=b.key;", true, true},
      {";EncKeyFile=;SignKeyFile=b.key;", false, false},
      {";enckeyfile=a.key;signkeyfile=b;", true, true},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TCryptmanage::HasKeyFiles(c.params, false), c.withoutSign) << c.params;
    EXPECT_EQ(TCryptmanage::HasKeyFiles(c.params, true), c.withSign) << c.params;
  }
}

TEST(CryptManageTest, ModeGuardsCompareExactTexts) {
  test::TempDir dir;
  const std::string config = dir.Write(
      "c.xml", test::ConfigXml({{"Cert", "p", "1", "d", "1", "1", "", {}},
                                {"Usb", "p", "1", "d", "0", "", "", {}},
                                {"Pwd", "p", "2", "d", "", "", "", {}},
                                {"Zero1", "p", "01", "d", "", "", "", {}}}));
  struct Case {
    std::string type;
    bool cert, files, password;
  };
  const Case cases[] = {
      {"Cert", true, true, false}, {"Usb", true, false, false}, {"Pwd", false, false, true}, {"Zero1", false, false, false}};
  for (const Case& c : cases) {
    TCryptmanage manager(c.type, config, "u");
    std::string params = ";A=1;";
    ASSERT_TRUE(manager.CheckConfig(params));
    EXPECT_EQ(params, ";A=1;");
    EXPECT_EQ(manager.RequireCertificateMode(params), c.cert) << c.type;
    EXPECT_EQ(manager.RequireCertificateFiles(params), c.files) << c.type;
    EXPECT_EQ(manager.RequirePasswordMode(params), c.password) << c.type;
  }
  std::string params;
  TCryptmanage usb("Usb", config, "u");
  usb.RequireCertificateFiles(params);
  EXPECT_EQ(params, "ResultMsgStr=" + EscapeParamText(msg::CertificateFilesRequired()));
  TCryptmanage pwd("Pwd", config, "u");
  pwd.RequireCertificateMode(params);
  EXPECT_EQ(GetParamValue(params, "ResultMsgStr"), msg::CertificateModeRequired());
  TCryptmanage cert("Cert", config, "u");
  cert.RequirePasswordMode(params);
  EXPECT_EQ(GetParamValue(params, "ResultMsgStr"), msg::PasswordModeRequired());
}

TEST(ExportFrameTest, AnythingThrownBecomesAFailureWithAMessage) {
  std::vector<char> buffer(4096, '\0');
  std::string input = ";A=1;";
  std::copy(input.begin(), input.end(), buffer.begin());
  char* text = buffer.data();
  bool ran = false;
  const unsigned char ok = RunManagerExport(9, "", "T", "u", &text, [&](TCryptmanage&, std::string& params) -> bool {
    ran = true;
    params = "half-done";
    throw std::bad_alloc();
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(std::string(text), ";A=1;;ResultMsgStr=" + EscapeParamText(msg::UnexpectedError()));
  EXPECT_EQ(AppWindowHandle(), 9u);
}

}  // namespace
}  // namespace qorv
