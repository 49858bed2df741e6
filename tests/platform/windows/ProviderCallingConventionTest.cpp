// A provider whose functions were built cdecl by mistake. On i686 such a function
// leaves its arguments on the stack where a stdcall one takes them off: the library
// notices, puts the stack right and reports the call as a raising one, for each of the
// eight functions and as often as it happens, without a fault on the way (a library that
// went on with its stack off by the arguments' size would read and write the wrong
// places; at best the fault guard would catch what faults). x86_64 has one convention
// only: there the same provider simply works.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "provider/CryptDll.h"
#include "support/TempDir.h"
#include "support/TestProvider.h"
#include "util/Messages.h"

namespace qorv {
namespace {

#if defined(__i386__)
constexpr bool kCdeclBreaksTheFrame = true;
#else
constexpr bool kCdeclBreaksTheFrame = false;
#endif

// Counts the exceptions raised on the test's thread, caught or not, while it lives.
class ExceptionCounter {
 public:
  ExceptionCounter() : handler_(AddVectoredExceptionHandler(1, &ExceptionCounter::Count)) {
    s_thread = GetCurrentThreadId();
    s_count = 0;
  }
  ~ExceptionCounter() { RemoveVectoredExceptionHandler(handler_); }
  int count() const { return s_count; }

 private:
  static LONG CALLBACK Count(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    const bool debugOutput = code == DBG_PRINTEXCEPTION_C || code == 0x4001000A;  // OutputDebugString
    if (GetCurrentThreadId() == s_thread && !debugOutput) ++s_count;
    return EXCEPTION_CONTINUE_SEARCH;
  }
  static inline std::atomic<DWORD> s_thread{0};
  static inline std::atomic<int> s_count{0};
  void* handler_;
};

TEST(ProviderCallingConventionTest, CdeclProviderFunctionsAreReportedNotFollowed) {
  struct Operation {
    const char* name;
    bool (TCryptDll::*call)(std::string&);
  };
  const Operation operations[] = {
      {"InitCrypt", &TCryptDll::InitCrypt},       {"Encrypt", &TCryptDll::Encrypt},
      {"Decrypt", &TCryptDll::Decrypt},           {"GetUSBCertFile", &TCryptDll::GetUSBCertFile},
      {"CreateCAFile", &TCryptDll::CreateCAFile}, {"ChangeCAPassword", &TCryptDll::ChangeCAPassword},
      {"ValidateCert", &TCryptDll::ValidateCert}, {"FinalCrypt", &TCryptDll::FinalCrypt},
  };
  test::TempDir dir;
  test::ProviderScript script(dir);
  for (const Operation& op : operations) script.Answer(op.name, "1", "Answer=" + std::string(op.name));
  SetAppWindowHandle(0x7171);

  const ExceptionCounter exceptions;
  for (int round = 0; round < 3; ++round) {
    TCryptDll dll(test::TestProviderPath("qorv_test_provider_cdecl"));
    ASSERT_TRUE(dll.IsLoaded());
    for (const Operation& op : operations) {
      // InitCrypt's text tells the provider where its script is.
      const std::string input =
          (op.name == std::string("InitCrypt") ? "TestScript=" + script.path() : "User=u") + ";ResultMsgStr=x;";
      std::string params = input;
      const bool ok = (dll.*op.call)(params);
      if (kCdeclBreaksTheFrame) {
        EXPECT_FALSE(ok) << op.name;
        EXPECT_EQ(params, SetParamValue(input, "ResultMsgStr", msg::ProviderRaised(op.name))) << op.name;
      } else {
        EXPECT_TRUE(ok) << op.name;
        EXPECT_EQ(params, "Answer=" + std::string(op.name));
      }
    }
  }
  EXPECT_EQ(exceptions.count(), 0);
  // Each function was reached with its arguments intact: the handle and the text.
  const auto calls = script.Calls();
  ASSERT_EQ(calls.size(), 3 * std::size(operations));
  for (size_t i = 0; i < calls.size(); ++i) {
    const Operation& op = operations[i % std::size(operations)];
    EXPECT_EQ(calls[i].function, op.name);
    EXPECT_EQ(calls[i].handle, calls[i].function == "InitCrypt" ? 0x7171u : 0u);
  }
  EXPECT_EQ(calls[1].text, "User=u;ResultMsgStr=x;");
}

}  // namespace
}  // namespace qorv
