// The DLL's entry point: built into the library only, not into the core that tests link.
#include <windows.h>

#include "interface/LibraryLifecycle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  if (reason == DLL_PROCESS_DETACH) qorv::OnLibraryUnload();
  return TRUE;
}
