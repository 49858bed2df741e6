// The <Name>Ex exports through the built library: the same answer as their twins, in a
// text the library allocates, however long.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "interface/ParamString.h"
#include "support/Deployment.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::Deployment;
using test::ExportReply;

// Takes over a text the library allocated and releases it.
class LibraryText {
 public:
  explicit LibraryText(QorvFreeTextFn freeText) : freeText_(freeText) {}
  ~LibraryText() { freeText_(text_); }
  LibraryText(const LibraryText&) = delete;
  LibraryText& operator=(const LibraryText&) = delete;
  char** Out() { return &text_; }
  bool IsNull() const { return text_ == nullptr; }
  std::string Text() const { return text_ != nullptr ? std::string(text_) : std::string(); }

 private:
  QorvFreeTextFn freeText_;
  char* text_ = reinterpret_cast<char*>(1);  // the library must set it
};

class SizedExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_.WriteConfig({{"Plain", "", "0", "plain", "", "", "", {}},
                    {"Pwd", "", "2", "pwd", "", "", "", {}},
                    {"Cert", "", "1", "cert", "1", "0", "", {}},
                    {"Usb", "", "1", "usb", "0", "", "", {}}});
    freeText_ = d_.Find<QorvFreeTextFn>("QorvFreeText");
    ASSERT_NE(freeText_, nullptr);
  }
  template <typename Fn>
  Fn Ex(const char* name) {
    auto fn = d_.Find<Fn>(name);
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  // Calls an Ex export of the user-request kind with the deployment's configuration.
  ExportReply UserRequestEx(const char* name, const std::string& type, const std::string& user,
                            const std::string& request, uintptr_t handle = 0) {
    LibraryText reply(freeText_);
    ExportReply out;
    out.ok = Ex<QorvUserRequestExFn>(name)(handle, d_.configPath().c_str(), type.c_str(), user.c_str(), request.c_str(),
                                           reply.Out());
    EXPECT_FALSE(reply.IsNull()) << name;
    out.params = reply.Text();
    return out;
  }
  ExportReply FileEx(const char* name, const std::string& type, const std::string& request) {
    LibraryText reply(freeText_);
    ExportReply out;
    out.ok = Ex<QorvCryptFileExFn>(name)(0, d_.configPath().c_str(), type.c_str(), "u", "src", "dst", request.c_str(),
                                         reply.Out());
    out.params = reply.Text();
    return out;
  }

  Deployment d_;
  QorvFreeTextFn freeText_ = nullptr;
};

TEST_F(SizedExportsTest, EachAnswersExactlyAsItsTwin) {
  d_.script().Answer("Encrypt", "0", "ResultMsgStr=no key");
  d_.script().Answer("CreateCAFile", "1", "EncCertFile=new.cer;Made=1");
  d_.script().Answer("GetUSBCertFile", "1", "EncCertFile=usb.cer");
  struct Case {
    const char* name;
    std::function<ExportReply()> twin;
    std::function<ExportReply()> sized;
  };
  auto user = [&](const char* name, const std::string& type, const std::string& request,
                  ExportReply (Deployment::*twin)(const std::string&, const std::string&, const std::string&)) {
    return Case{name, [=] { return (d_.*twin)(type, "u", request); },
                [=] { return UserRequestEx(name, type, "u", request); }};
  };
  const Case cases[] = {
      {"EncryptEx", [&] { return d_.Encrypt("Plain", "u", "src", "dst", ";A=1;"); },
       [&] { return FileEx("EncryptEx", "Plain", ";A=1;"); }},
      {"DecryptEx", [&] { return d_.Decrypt("Plain", "u", "src", "dst", "B=2"); },
       [&] { return FileEx("DecryptEx", "Plain", "B=2"); }},
      {"GetCryptInfoEx", [&] { return d_.GetCryptInfo("Pwd", "u", "A=1"); },
       [&] { return UserRequestEx("GetCryptInfoEx", "Pwd", "u", "A=1"); }},
      user("SetCaFileEx", "Cert", "EncCertFile=missing.cer", &Deployment::SetCaFile),
      user("GetCertFileEx", "Cert", "", &Deployment::GetCertFile),
      user("GetCertFileEx", "Usb", "Want=1", &Deployment::GetCertFile),
      user("CreateCAFileEx", "Cert", "Keep=1", &Deployment::CreateCAFile),
      user("ChangeCAPasswordEx", "Cert", "NewEncKeyPwd=n", &Deployment::ChangeCAPassword),
      user("ValidateCertEx", "Pwd", "", &Deployment::ValidateCert),
      user("SetCryptParamsEx", "Pwd", "PassWord=a=b;Z=1", &Deployment::SetCryptParams),
      {"GetCryptInfoEx", [&] { return d_.GetCryptInfo("Missing", "u", ";A=1;"); },
       [&] { return UserRequestEx("GetCryptInfoEx", "Missing", "u", ";A=1;"); }},
      {"SetRevenueCAFileEx", [&] { return d_.SetRevenueCAFile("Cert", "RevenueEncCertFile=none.cer"); },
       [&] {
         LibraryText reply(freeText_);
         ExportReply out;
         out.ok = Ex<QorvTypeRequestExFn>("SetRevenueCAFileEx")(0, d_.configPath().c_str(), "Cert",
                                                                "RevenueEncCertFile=none.cer", reply.Out());
         out.params = reply.Text();
         return out;
       }},
  };
  for (const Case& c : cases) {
    const ExportReply twin = c.twin();
    const ExportReply sized = c.sized();
    EXPECT_EQ(sized.ok, twin.ok) << c.name;
    EXPECT_EQ(sized.params, twin.params) << c.name;
  }
  // Both ran their operations: the provider saw each sequence twice.
  EXPECT_EQ(d_.script().CallOrder(),
            "InitCrypt Encrypt FinalCrypt InitCrypt Encrypt FinalCrypt InitCrypt Decrypt FinalCrypt InitCrypt Decrypt "
            "FinalCrypt InitCrypt GetUSBCertFile FinalCrypt InitCrypt GetUSBCertFile FinalCrypt InitCrypt CreateCAFile "
            "FinalCrypt InitCrypt CreateCAFile FinalCrypt");
}

TEST_F(SizedExportsTest, GetCryptListExAnswersAsItsTwin) {
  auto listEx = Ex<QorvGetCryptListExFn>("GetCryptListEx");
  auto list = d_.Find<QorvGetCryptListFn>("GetCryptList");
  for (const std::string& config : {d_.configPath(), d_.dir().File("missing.xml")}) {
    std::vector<char> listBuffer(65536, '\0');
    std::vector<char> params(65536, '\0');
    char* text = params.data();
    const unsigned char twinOk = list(0, config.c_str(), listBuffer.data(), &text);

    LibraryText sizedList(freeText_);
    LibraryText reply(freeText_);
    EXPECT_EQ(listEx(0, config.c_str(), sizedList.Out(), "ignored=1", reply.Out()), twinOk) << config;
    EXPECT_EQ(sizedList.Text(), std::string(listBuffer.data())) << config;
    EXPECT_EQ(reply.Text(), std::string(text)) << config;
  }
  // No List: refused in the reply, as the twin refuses it.
  LibraryText reply(freeText_);
  EXPECT_EQ(listEx(0, d_.configPath().c_str(), nullptr, "", reply.Out()), 0);
  EXPECT_EQ(GetParamValue(reply.Text(), "ResultMsgStr"), msg::ListBufferMissing());
}

TEST_F(SizedExportsTest, ANullReplyDoesNothingAndANullRequestIsEmpty) {
  auto setCryptParamsEx = Ex<QorvUserRequestExFn>("SetCryptParamsEx");
  auto encryptEx = Ex<QorvCryptFileExFn>("EncryptEx");
  EXPECT_EQ(setCryptParamsEx(0, d_.configPath().c_str(), "Pwd", "u", "PassWord=never", nullptr), 0);
  EXPECT_EQ(encryptEx(0, d_.configPath().c_str(), "Plain", "u", "a", "b", "", nullptr), 0);
  char* list = nullptr;
  EXPECT_EQ(Ex<QorvGetCryptListExFn>("GetCryptListEx")(0, d_.configPath().c_str(), &list, "", nullptr), 0);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(d_.script().CallOrder(), "");
  EXPECT_EQ(GetParamValue(d_.GetCryptInfo("Pwd", "u", "").params, "PassWord"), "");

  LibraryText reply(freeText_);
  EXPECT_EQ(encryptEx(0, d_.configPath().c_str(), "Plain", "u", "a", "b", nullptr, reply.Out()), 1);
  EXPECT_EQ(reply.Text(), "");
  freeText_(nullptr);
}

// Replies no fixed buffer would hold: a request of 4 MB, and a crypto type whose
// settings add 300 KB.
TEST_F(SizedExportsTest, RepliesOfAnyLengthComeBackWhole) {
  const std::string big(4 * 1024 * 1024, 'v');
  ExportReply reply = UserRequestEx("GetCryptInfoEx", "Pwd", "u", "Big=" + big);
  EXPECT_EQ(reply.ok, 1);
  EXPECT_EQ(GetParamValue(reply.params, "Big"), big);

  Deployment wide;
  wide.WriteConfig({{"Wide", "", "2", std::string(100000, '='), "", "", "", {{"X", std::string(100000, ';')}}}});
  LibraryText text(freeText_);
  EXPECT_EQ(wide.Find<QorvUserRequestExFn>("GetCryptInfoEx")(0, wide.configPath().c_str(), "Wide", "u", "", text.Out()),
            1);
  EXPECT_EQ(GetParamValue(text.Text(), "DESC"), std::string(100000, '='));
  EXPECT_EQ(GetParamValue(text.Text(), "X"), std::string(100000, ';'));
  EXPECT_GT(text.Text().size(), 900000u);
}

// As a host that links the library: on i686 through the stdcall import library, whose
// decorated names must match these declarations.
TEST(SizedExportsLinkTest, TheExportsLinkUnderTheirDeclaredNames) {
  char* list = nullptr;
  char* reply = nullptr;
  EXPECT_EQ(GetCryptListEx(0, "no-such-config.xml", &list, nullptr, &reply), 0);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(GetParamValue(reply, "ResultMsgStr"), msg::ConfigFileMissing("no-such-config.xml"));
  EXPECT_STREQ(list, "");
  QorvFreeText(list);
  QorvFreeText(reply);
  reply = nullptr;
  EXPECT_EQ(GetCryptInfoEx(0, "no-such-config.xml", "T", "u", "A=1", &reply), 0);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(GetParamValue(reply, "A"), "1");
  QorvFreeText(reply);
}

}  // namespace
}  // namespace qorv
