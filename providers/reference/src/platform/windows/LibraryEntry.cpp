// The provider DLL's entry point. The host loads and unloads the provider for every
// request: whatever the provider took from the process goes back when it is unloaded.
#include <windows.h>

#include <openssl/crypto.h>

#include "platform/windows/ThreadLocalEmulation.h"

// libstdc++'s release of its emergency exception memory (about 70 KiB, taken when the
// DLL is loaded), otherwise left behind by every unload of a DLL that links it statically.
namespace __gnu_cxx {
void __freeres();
}  // namespace __gnu_cxx

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved) {
  if (reason == DLL_THREAD_DETACH) qorv_ref::platform::ReleaseThreadLocalsOfThisThread();
  // At FreeLibrary only: when the process ends, its other threads are gone already.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    OPENSSL_cleanup();
    __gnu_cxx::__freeres();
    qorv_ref::platform::ReleaseAllThreadLocals();
  }
  return TRUE;
}
