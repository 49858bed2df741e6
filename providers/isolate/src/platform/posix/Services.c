/* The isolating provider's lock, clock-free services and unload hook on POSIX. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include "Sessions.h"
#include "platform/IsolatePlatform.h"

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

void IsoLock(void) { pthread_mutex_lock(&g_lock); }

void IsoUnlock(void) { pthread_mutex_unlock(&g_lock); }

uint64_t IsoThreadId(void) { return (uint64_t)(uintptr_t)pthread_self(); }

const char* const kIsoHostFileName = "qorvcrypt-provider-host";

/* An address inside this library's image, for dladdr. */
static const char g_anchor;

int IsoOwnFolder(char* folder, size_t size) {
  Dl_info info;
  const char* slash;
  size_t length;
  if (dladdr(&g_anchor, &info) == 0 || info.dli_fname == NULL) return 0;
  slash = strrchr(info.dli_fname, '/');
  length = slash == NULL ? 0 : (size_t)(slash - info.dli_fname) + 1;
  if (length + 1 > size) return 0;
  memcpy(folder, info.dli_fname, length);
  folder[length] = '\0';
  return 1;
}

char* IsoMessageText(const char* utf8) { return strdup(utf8); }

size_t IsoCharacterLength(const char* text, size_t length) {
  const unsigned char lead = (unsigned char)text[0];
  size_t step = 1;
  if (lead >= 0xF0) {
    step = 4;
  } else if (lead >= 0xE0) {
    step = 3;
  } else if (lead >= 0xC0) {
    step = 2;
  }
  return step < length ? step : length;
}

/* The library unloads the provider when a request ends: no helper outlives that. */
__attribute__((destructor)) static void EndHelpersAtUnload(void) { IsoEndAllSessions(); }
