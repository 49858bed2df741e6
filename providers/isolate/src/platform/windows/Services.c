/* The isolating provider's lock, folder, message code page and unload hook on Windows. */
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "Sessions.h"
#include "platform/IsolatePlatform.h"

static SRWLOCK g_lock = SRWLOCK_INIT;

void IsoLock(void) { AcquireSRWLockExclusive(&g_lock); }

void IsoUnlock(void) { ReleaseSRWLockExclusive(&g_lock); }

uint64_t IsoThreadId(void) { return GetCurrentThreadId(); }

const char* const kIsoHostFileName = "qorvcrypt-provider-host.exe";

/* An address inside this DLL's image. */
static const char g_anchor;

int IsoOwnFolder(char* folder, size_t size) {
  HMODULE self = NULL;
  DWORD length;
  char* slash;
  if (size > 32768) size = 32768;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          &g_anchor, &self)) {
    return 0;
  }
  length = GetModuleFileNameA(self, folder, (DWORD)size);
  if (length == 0 || length >= size) return 0;
  slash = strrchr(folder, '\\');
  if (slash == NULL) slash = strrchr(folder, '/');
  if (slash == NULL) return 0;
  slash[1] = '\0';
  return 1;
}

/* The code page of the messages, whatever the machine's own. */
#define ISO_GBK_CODE_PAGE 936

char* IsoMessageText(const char* utf8) {
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, NULL, 0);
  WCHAR* wide;
  char* text = NULL;
  int length;
  if (wideLength <= 0) return _strdup(utf8);
  wide = (WCHAR*)malloc(sizeof(WCHAR) * (size_t)wideLength);
  if (wide == NULL) return NULL;
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, wideLength);
  length = WideCharToMultiByte(ISO_GBK_CODE_PAGE, 0, wide, wideLength, NULL, 0, NULL, NULL);
  if (length > 0) text = (char*)malloc((size_t)length);
  if (text != NULL) WideCharToMultiByte(ISO_GBK_CODE_PAGE, 0, wide, wideLength, text, length, NULL, NULL);
  free(wide);
  return text;
}

size_t IsoCharacterLength(const char* text, size_t length) {
  const unsigned char lead = (unsigned char)text[0];
  const size_t step = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
  return step < length ? step : length;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  /* At FreeLibrary: no helper outlives the sequence's unload. (When the process ends,
   * its helpers see the stream end and end too.) */
  if (reason == DLL_PROCESS_DETACH && reserved == NULL) IsoEndAllSessions();
  return TRUE;
}
