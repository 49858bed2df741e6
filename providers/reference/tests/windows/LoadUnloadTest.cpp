// The provider loaded and unloaded for every request, as the library does it: each load
// must give back at unload what it took from the process (thread-local storage slots,
// memory, threads), or a host runs out after some thousand requests.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include <cstdlib>

#include "Material.h"
#include "QorvCryptProvider.h"

namespace qorv_ref::test {
namespace {

// The lowest free thread-local storage slot: it climbs with every slot that stays taken.
DWORD LowestFreeTlsSlot() {
  const DWORD slot = TlsAlloc();
  TlsFree(slot);
  return slot;
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  // wine leaves the private count at 0; the commit charge is next best.
  return counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
}

// Where this program's own copy of the provider lies: a second file is a second module,
// which loads and unloads apart from the one linked in.
std::string ProviderCopy(const TempFolder& dir) {
  HMODULE linked = GetModuleHandleA("QorvReferenceProvider.dll");
  char path[MAX_PATH] = {};
  GetModuleFileNameA(linked, path, MAX_PATH);
  const std::string copy = dir.File("ProviderCopy.dll");
  CopyFileA(path, copy.c_str(), FALSE);
  return copy;
}

unsigned char Run(QorvProviderFn function, const std::string& input) {
  std::vector<char> buffer(QORVCRYPT_PROVIDER_BUFFER_SIZE, '\0');
  std::copy(input.begin(), input.end(), buffer.begin());
  char* pointer = buffer.data();
  return function(&pointer);
}

// One request: a decryption that succeeds (OpenSSL, the writer thread) and an encryption
// that fails (a C++ exception inside the provider), as the library calls them.
bool OneRequest(const std::string& dll, const std::string& init, const std::string& opOk, const std::string& opFail) {
  HMODULE module = LoadLibraryA(dll.c_str());
  if (module == nullptr) return false;
  auto initCrypt = reinterpret_cast<QorvProviderInitFn>(reinterpret_cast<void*>(GetProcAddress(module, "InitCrypt")));
  auto decrypt = reinterpret_cast<QorvProviderFn>(reinterpret_cast<void*>(GetProcAddress(module, "Decrypt")));
  auto encrypt = reinterpret_cast<QorvProviderFn>(reinterpret_cast<void*>(GetProcAddress(module, "Encrypt")));
  auto finalCrypt = reinterpret_cast<QorvProviderFn>(reinterpret_cast<void*>(GetProcAddress(module, "FinalCrypt")));
  bool ok = initCrypt && decrypt && encrypt && finalCrypt;
  if (ok) {
    std::vector<char> buffer(init.begin(), init.end());
    buffer.resize(QORVCRYPT_PROVIDER_BUFFER_SIZE, '\0');
    char* pointer = buffer.data();
    ok = initCrypt(0, &pointer) == 1 && Run(decrypt, opOk) == 1 && Run(encrypt, opFail) == 0 && Run(finalCrypt, "") == 1;
  }
  return FreeLibrary(module) != 0 && ok;
}

TEST(LoadUnloadTest, EachLoadGivesBackWhatItTook) {
  TempFolder dir;
  const std::string dll = ProviderCopy(dir);
  const std::string init = Params({{"User", "alice"}, {"KeyFile", Shared().keyFile}, {"Mode", "0"}});
  const std::string plain = dir.Write("plain", SampleBytes(100000));
  ASSERT_TRUE(RunSequence(init, Encrypt, Params({{"SourceFile", plain}, {"TargetFile", dir.File("sealed")}})).ok);
  const std::string opOk = Params({{"SourceFile", dir.File("sealed")}, {"TargetFile", dir.File("opened")}});
  const std::string opFail = Params({{"SourceFile", dir.File("absent")}, {"TargetFile", dir.File("never")}});

  for (int i = 0; i < 20; ++i) ASSERT_TRUE(OneRequest(dll, init, opOk, opFail));
  const DWORD slotBefore = LowestFreeTlsSlot();
  const size_t bytesBefore = PrivateBytes();
  ASSERT_GT(bytesBefore, 0u);
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(OneRequest(dll, init, opOk, opFail)) << "request " << i;
  EXPECT_EQ(LowestFreeTlsSlot(), slotBefore) << "thread-local storage slots left taken by 300 loads";
  const size_t bytesAfter = PrivateBytes();
  // A leak of some hundred bytes a load would show (wine counts in pages of 4 KiB).
  EXPECT_LT(bytesAfter, bytesBefore + 256 * 1024) << "grew from " << bytesBefore << " to " << bytesAfter;
  EXPECT_EQ(ReadBytes(dir.File("opened")), ReadBytes(plain));
}

LONG WINAPI EndWithCodeThree(EXCEPTION_POINTERS*) {
  ExitProcess(3);
  return EXCEPTION_EXECUTE_HANDLER;
}

// A child run of this program for the test below: one request through a copy of the
// provider, then the normal end of the process, which runs the exit handlers. A fault
// there (a handler left pointing into the unloaded provider) becomes exit code 3.
TEST(LoadUnloadTest, ChildMakesOneRequestAndEnds) {
  if (std::getenv("QORV_REF_LOAD_CHILD") == nullptr) GTEST_SKIP() << "run by the test below";
  SetUnhandledExceptionFilter(EndWithCodeThree);
  TempFolder dir;
  const std::string init = Params({{"User", "alice"}, {"KeyFile", Shared().keyFile}, {"Mode", "0"}});
  const std::string plain = dir.Write("plain", "content");
  ASSERT_TRUE(RunSequence(init, Encrypt, Params({{"SourceFile", plain}, {"TargetFile", dir.File("sealed")}})).ok);
  ASSERT_TRUE(OneRequest(ProviderCopy(dir), init,
                         Params({{"SourceFile", dir.File("sealed")}, {"TargetFile", dir.File("opened")}}),
                         Params({{"SourceFile", dir.File("absent")}, {"TargetFile", dir.File("never")}})));
}

TEST(LoadUnloadTest, NothingOfAnUnloadedProviderRunsWhenTheProcessEnds) {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = std::string("\"") + program + "\" --gtest_filter=LoadUnloadTest.ChildMakesOneRequestAndEnds";
  SetEnvironmentVariableA("QORV_REF_LOAD_CHILD", "1");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                      &process);
  SetEnvironmentVariableA("QORV_REF_LOAD_CHILD", nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace qorv_ref::test
