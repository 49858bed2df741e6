/* A host built as Microsoft's tools build one (clang for the MSVC target, lld-link and
 * the SDK's QorvCryptManage.lib), with no C runtime, since none is at hand: it lists the
 * configuration QORV_SAMPLE_CONFIG names with GetCryptList, again with GetCryptListEx
 * (freed with QorvFreeText), and asks QorvGetVersion, so that the .lib must hold the
 * later exports too. Exit status 0 when all is well; 1 when GetCryptList fails, 2 when
 * its list is wrong, 3 when GetCryptListEx fails or lists otherwise, 4 when
 * QorvGetVersion does not answer "MAJOR.". */
#include "QorvCryptManage.h"

static char list[65536];
static char reply[4096];

unsigned long __stdcall HostEntry(void* unused) {
  static const char first[] = "CertPair=";
  char* params = reply;
  char* allocated = 0;
  char* allocatedReply = 0;
  const char* version = 0;
  unsigned i;
  int same = 1;
  (void)unused;
  if (!GetCryptList(0, QORV_SAMPLE_CONFIG, list, &params)) return 1;
  for (i = 0; first[i] != '\0'; ++i) {
    if (list[i] != first[i]) return 2;
  }
  if (!GetCryptListEx(0, QORV_SAMPLE_CONFIG, &allocated, "", &allocatedReply) || allocated == 0) return 3;
  for (i = 0; list[i] != '\0' || allocated[i] != '\0'; ++i) {
    if (list[i] != allocated[i]) {
      same = 0;
      break;
    }
  }
  QorvFreeText(allocated);
  QorvFreeText(allocatedReply);
  if (!same) return 3;
  if (!QorvGetVersion(&version) || version == 0 || version[0] < '0' || version[0] > '9' || version[1] != '.') return 4;
  return 0;
}
