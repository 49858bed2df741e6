/* A host built as Microsoft's tools build one (clang for the MSVC target, lld-link and
 * the SDK's QorvCryptManage.lib), with no C runtime, since none is at hand: it lists the
 * configuration QORV_SAMPLE_CONFIG names with GetCryptList. Exit status 0 when the call
 * succeeds and the list's first line is the sample's first type, 1 when the call fails,
 * 2 when the list is wrong. */
#include "QorvCryptManage.h"

static char list[65536];
static char reply[4096];

unsigned long __stdcall HostEntry(void* unused) {
  static const char first[] = "CertPair=";
  char* params = reply;
  unsigned i;
  (void)unused;
  if (!GetCryptList(0, QORV_SAMPLE_CONFIG, list, &params)) return 1;
  for (i = 0; first[i] != '\0'; ++i) {
    if (list[i] != first[i]) return 2;
  }
  return 0;
}
