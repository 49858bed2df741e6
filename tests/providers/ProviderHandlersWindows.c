#include <windows.h>

#include "providers/ProviderHandlers.h"

static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  (void)info;
  return EXCEPTION_CONTINUE_SEARCH;
}

void InstallTargetHandlers(void) { SetUnhandledExceptionFilter(OnUnhandledException); }
