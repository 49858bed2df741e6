/* A host program as its developers write it, built against an installed QorvCryptManage
 * or the Windows SDK only: it lists a configuration's crypto types with GetCryptList and
 * checks that every NAME given is among them, then lists them again with GetCryptListEx
 * (freed with QorvFreeText) and asks QorvGetVersion, so that the import library or the
 * .so must provide the later exports too. On Windows it also loads the DLL by name and
 * calls the export it finds, as the SDK's README shows, and compares the lists.
 * usage: list-types CONFIG NAME...    exit status 0 when all is well */
#include <stdio.h>
#include <string.h>

#include "QorvCryptManage.h"

#ifdef _WIN32
#include <windows.h>
#endif

enum { kListSize = 65536, kReplySize = 4096 };

/* True when one of the list's "NAME=DESC" CR LF lines has this name. */
static int ListHasType(const char* list, const char* name) {
  const size_t length = strlen(name);
  const char* line = list;
  while (*line != '\0') {
    if (strncmp(line, name, length) == 0 && line[length] == '=') return 1;
    line = strstr(line, "\r\n");
    if (line == NULL) return 0;
    line += 2;
  }
  return 0;
}

static int ListTypes(QorvGetCryptListFn getCryptList, const char* config, char* list) {
  static char reply[kReplySize];
  char* params = reply;
  reply[0] = '\0';
  list[0] = '\0';
  if (!getCryptList(0, config, list, &params)) {
    fprintf(stderr, "GetCryptList failed: %s\n", params);
    return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  static char list[kListSize];
  int i;
  if (argc < 3) {
    fprintf(stderr, "usage: list-types CONFIG NAME...\n");
    return 2;
  }
  /* Bound at link time, through the import library or the .so. */
  if (!ListTypes(GetCryptList, argv[1], list)) return 1;
  fputs(list, stdout);
  for (i = 2; i < argc; ++i) {
    if (!ListHasType(list, argv[i])) {
      fprintf(stderr, "the list lacks %s\n", argv[i]);
      return 1;
    }
  }
  {
    char* allocated = NULL;
    char* reply = NULL;
    const char* version = NULL;
    int same;
    if (!GetCryptListEx(0, argv[1], &allocated, "", &reply) || allocated == NULL) {
      fprintf(stderr, "GetCryptListEx failed: %s\n", reply != NULL ? reply : "(no reply)");
      return 1;
    }
    same = strcmp(list, allocated) == 0;
    QorvFreeText(allocated);
    QorvFreeText(reply);
    if (!same) {
      fprintf(stderr, "GetCryptListEx gives another list\n");
      return 1;
    }
    if (!QorvGetVersion(&version) || version == NULL) {
      fprintf(stderr, "QorvGetVersion failed\n");
      return 1;
    }
    printf("the same list through GetCryptListEx, from QorvCryptManage %s\n", version);
  }
#ifdef _WIN32
  {
    static char loaded[kListSize];
    HMODULE library = LoadLibraryA("QorvCryptManage.dll");
    QorvGetCryptListFn getCryptList;
    if (library == NULL) {
      fprintf(stderr, "LoadLibrary failed: %lu\n", (unsigned long)GetLastError());
      return 1;
    }
    getCryptList = (QorvGetCryptListFn)(void (*)(void))GetProcAddress(library, "GetCryptList");
    if (getCryptList == NULL) {
      fprintf(stderr, "the DLL does not export GetCryptList\n");
      return 1;
    }
    if (!ListTypes(getCryptList, argv[1], loaded)) return 1;
    if (strcmp(list, loaded) != 0) {
      fprintf(stderr, "the list differs when the DLL is loaded by name:\n%s", loaded);
      return 1;
    }
    FreeLibrary(library);
    printf("the same list through LoadLibrary and GetProcAddress\n");
  }
#endif
  return 0;
}
