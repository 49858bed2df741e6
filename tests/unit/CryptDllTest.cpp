#include "provider/CryptDll.h"

#include <gtest/gtest.h>

#include <string>

#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "platform/Platform.h"
#include "support/TempDir.h"
#include "support/TestProvider.h"
#include "util/Messages.h"

namespace qorv {
namespace {

using test::ProviderScript;
using test::TestProviderPath;

class CryptDllTest : public ::testing::Test {
 protected:
  // The initialisation string that points the provider at the script.
  std::string InitText() const { return "TestScript=" + script_.path() + ";Keep=1"; }

  test::TempDir dir_;
  ProviderScript script_{dir_};
};

TEST_F(CryptDllTest, LoadsOnlyWhenTheFileExists) {
  EXPECT_TRUE(TCryptDll(TestProviderPath()).IsLoaded());
  EXPECT_FALSE(TCryptDll("").IsLoaded());
  EXPECT_FALSE(TCryptDll(dir_.File("missing.dll")).IsLoaded());
  // A file that is no library fails to load and is reported the same way.
  EXPECT_FALSE(TCryptDll(dir_.Write("not-a-library.dll", "MZ nothing")).IsLoaded());
}

TEST_F(CryptDllTest, PassesTextAndWindowHandleAndReturnsTheProvidersAnswer) {
  script_.Answer("Encrypt", "0", "ResultMsgStr=bad key");
  script_.Answer("Decrypt", "1", "Out=1");
  TCryptDll dll(TestProviderPath());
  ASSERT_TRUE(dll.IsLoaded());

  SetAppWindowHandle(0x1234);
  std::string init = InitText();
  EXPECT_TRUE(dll.InitCrypt(init));
  EXPECT_EQ(init, InitText());  // an untouched buffer comes back as it went in

  std::string encrypt = "SourceFile=a;TargetFile=b";
  EXPECT_FALSE(dll.Encrypt(encrypt));
  EXPECT_EQ(encrypt, "ResultMsgStr=bad key");
  std::string decrypt = "x";
  EXPECT_TRUE(dll.Decrypt(decrypt));
  EXPECT_EQ(decrypt, "Out=1");
  std::string final;
  EXPECT_TRUE(dll.FinalCrypt(final));

  const auto calls = script_.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].function, "InitCrypt");
  EXPECT_EQ(calls[0].handle, 0x1234u);
  EXPECT_EQ(calls[0].text, InitText());
  EXPECT_EQ(calls[1].text, "SourceFile=a;TargetFile=b");
  EXPECT_EQ(calls[3].function, "FinalCrypt");
  EXPECT_EQ(calls[3].text, "");
}

TEST_F(CryptDllTest, MissingFunctionsFailWithTheirMessages) {
  TCryptDll withoutOptional(TestProviderPath("qorv_test_provider_without_optional"));
  ASSERT_TRUE(withoutOptional.IsLoaded());
  for (auto call : {&TCryptDll::CreateCAFile, &TCryptDll::ChangeCAPassword, &TCryptDll::ValidateCert}) {
    std::string params = ";A=1;";
    EXPECT_FALSE((withoutOptional.*call)(params));
    EXPECT_EQ(params, SetParamValue(";A=1;", "ResultMsgStr", msg::ProviderNotSupported()));
  }
  TCryptDll withoutEncrypt(TestProviderPath("qorv_test_provider_without_encrypt"));
  std::string params = ";A=1;ResultMsgStr=old;B=2;";
  EXPECT_FALSE(withoutEncrypt.Encrypt(params));
  EXPECT_EQ(params, ";A=1;ResultMsgStr=" + EscapeParamText(msg::ProviderRaised("Encrypt")) + ";B=2;");
}

TEST_F(CryptDllTest, FaultsInsideTheProviderBecomeMessagesAndTheProcessGoesOn) {
  // Every way a provider can fail on this target, for each kind of function.
  std::vector<std::string> faults = {"fault"};
  if (platform::kWindows) {
    faults.insert(faults.end(), {"raise:0xE06D7363", "raise:0x0EEDFADE", "raise:0xC0000005", "raise:0x20000001"});
  } else {
    faults.insert(faults.end(), {"throw", "raise:7", "raise:8", "raise:4", "raise:11"});  // BUS FPE ILL SEGV
  }
  for (const std::string& fault : faults) {
    for (int round = 0; round < 3; ++round) {
      test::TempDir dir;
      ProviderScript script(dir);
      script.Answer("ValidateCert", fault);
      TCryptDll dll(TestProviderPath());
      std::string init = "TestScript=" + script.path();
      ASSERT_TRUE(dll.InitCrypt(init));
      std::string params = ";User=u;ResultMsgStr=x;";
      EXPECT_FALSE(dll.ValidateCert(params)) << fault;
      EXPECT_EQ(params, ";User=u;ResultMsgStr=" + EscapeParamText(msg::ProviderRaised("ValidateCert"))) << fault;
    }
  }
  // An InitCrypt that faults is reported under its own name.
  script_.Answer("InitCrypt", "fault");
  TCryptDll dll(TestProviderPath());
  std::string init = InitText();
  EXPECT_FALSE(dll.InitCrypt(init));
  EXPECT_EQ(GetParamValue(init, "ResultMsgStr"), msg::ProviderRaised("InitCrypt"));
}

TEST_F(CryptDllTest, BuffersHoldLongInputsAndOutputsAreReadWithinTheBuffer) {
  script_.Answer("Decrypt", "unterminated");
  TCryptDll dll(TestProviderPath());
  std::string init = InitText();
  ASSERT_TRUE(dll.InitCrypt(init));

  // 10,239 bytes fit the contract's buffer with the terminator; longer inputs are whole.
  for (size_t length : {size_t{10239}, size_t{10240}, size_t{50000}}) {
    std::string params = "Big=" + std::string(length - 4, 'b');
    ASSERT_EQ(params.size(), length);
    EXPECT_TRUE(dll.Encrypt(params));
    EXPECT_EQ(params.size(), length);
  }
  EXPECT_EQ(script_.Calls().back().text.size(), 50000u);

  std::string params = "short";
  EXPECT_TRUE(dll.Decrypt(params));
  EXPECT_EQ(params, std::string(10240, 'x'));
}

}  // namespace
}  // namespace qorv
