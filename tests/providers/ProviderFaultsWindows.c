#include <stdint.h>
#include <windows.h>

#include "providers/ProviderFaults.h"

static volatile uintptr_t g_unmappedAddress = 16;

void CauseProcessorFault(void) { *(volatile int*)g_unmappedAddress = 1; }

void RaiseFault(unsigned long code) { RaiseException((DWORD)code, EXCEPTION_NONCONTINUABLE, 0, NULL); }

/* A C++ exception cannot leave a C provider; the tests raise MSVC's code instead. */
void ThrowCppException(void) { RaiseFault(0xE06D7363); }

void ChangeDirectory(const char* path) { SetCurrentDirectoryA(path); }

void PauseBriefly(void) { Sleep(10); }

void StartLingeringChild(const char* pidFile) { (void)pidFile; }
