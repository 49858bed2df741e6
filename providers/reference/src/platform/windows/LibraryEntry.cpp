// The provider DLL's entry point. The host loads and unloads the provider for every
// request: whatever the provider took from the process goes back when it is unloaded.
#include <windows.h>

#include <openssl/crypto.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  // At FreeLibrary only: when the process ends, its other threads are gone already.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) OPENSSL_cleanup();
  return TRUE;
}
