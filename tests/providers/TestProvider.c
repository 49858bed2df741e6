/*
 * A provider library for tests. It records every call it receives (function, window
 * handle, exact text) and answers as the test's script says. The script's path comes
 * with InitCrypt, as the extension parameter TestScript, and holds lines
 *   Function|action|output
 * where action is 1 or 0 (the result), or a fault: "fault" (a processor fault),
 * "throw" (a C++ exception; POSIX only), "raise:<code>" (a structured exception on
 * Windows, a signal elsewhere), "overflow" (endless recursion, until the stack runs
 * out), "unterminated" (fills the whole buffer, no zero byte, result 1), a key-file
 * check: "rekey" and "checkset" (see KeyFileAction), or a misdeed that then answers 1:
 * "foreign:<n>" (points the text pointer at a text of its own, n bytes of 'x'),
 * "chdir:<folder>" (changes the current directory), "wait:<file>" (waits, at most 30
 * seconds, until the file exists). Misdeeds that end or spoil the process, for
 * providers run in a process of their own: "abort", "exit:<code>", "loop" (never
 * returns), "heap" (frees a heap block twice, then answers 0)
 * "overrun" (writes 4 KiB past the end of the buffer) and "linger:<pid file>" (starts a
 * process that sleeps for ten minutes holding this one's descriptors, then faults).
 * output "-" leaves the buffer as it came; anything
 * else replaces its text.
 * Functions without a line answer 1 and leave the buffer alone. The record is appended
 * to the script's path + ".log" as: Function TAB handle TAB length TAB text LF.
 *
 * Built with QORV_TEST_PROVIDER_LOAD_GATE, loading the library waits: it creates
 * "load-gate.waiting" in the current directory, then waits (at most 30 seconds) until
 * "load-gate.open" exists there.
 *
 * Written in C, as providers built with other compilers look to the library: no C++
 * runtime of its own to load and unload with every call.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "QorvCryptProvider.h"
#include "providers/ProviderFaults.h"

#ifdef QORV_TEST_PROVIDER_CDECL
/* Built with the other convention by mistake: the caller, not the function, would have
 * to take the arguments off the stack (on i686; x86_64 has one convention only). */
#undef QORVCRYPT_CALL
#define QORVCRYPT_CALL __cdecl
#endif

/* State of one call sequence, from InitCrypt to FinalCrypt. */
static char g_script[4096];
static char g_init[QORVCRYPT_PROVIDER_BUFFER_SIZE];
static char* g_foreignText;

static int FileExists(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) return 0;
  fclose(file);
  return 1;
}

static void WaitForFile(const char* path) {
  int round;
  for (round = 0; round < 3000 && !FileExists(path); ++round) PauseBriefly();
}

#ifdef QORV_TEST_PROVIDER_LOAD_GATE
__attribute__((constructor)) static void WaitAtLoad(void) {
  FILE* waiting = fopen("load-gate.waiting", "wb");
  if (waiting != NULL) fclose(waiting);
  WaitForFile("load-gate.open");
}
#endif

/* Never 0: the compiler cannot tell that the recursion below has no end. */
static volatile int g_recurse = 1;

/* Each frame touches both ends of its kilobyte, so that no page of the stack is skipped. */
static int Recurse(volatile char* outer) {
  volatile char frame[1024];
  frame[0] = (char)(outer != NULL ? outer[0] + 1 : 0);
  frame[sizeof frame - 1] = frame[0];
  return g_recurse != 0 ? Recurse(frame) + frame[1] : frame[0];
}

/* Frees a heap block twice: the C runtime's heap is spoiled from then on (glibc
 * notices and aborts). */
static void SpoilHeap(void) {
  char* volatile block = (char*)malloc(64);
  free(block);
  free(block);
  free(malloc(64));
}

static void PointAtOwnText(char** params, unsigned long length) {
  free(g_foreignText);
  g_foreignText = (char*)malloc(length + 1);
  if (g_foreignText == NULL) return;
  memset(g_foreignText, 'x', length);
  g_foreignText[length] = '\0';
  *params = g_foreignText;
}

static void RememberScript(const char* params) {
  const char* key = "TestScript=";
  const char* at = params;
  g_script[0] = '\0';
  while ((at = strstr(at, key)) != NULL) {
    if (at == params || at[-1] == ';') {
      size_t length = strcspn(at + strlen(key), ";");
      if (length >= sizeof g_script) length = sizeof g_script - 1;
      memcpy(g_script, at + strlen(key), length);
      g_script[length] = '\0';
      return;
    }
    at += strlen(key);
  }
}

static void Record(const char* function, uintptr_t handle, const char* text) {
  char path[4200];
  FILE* log;
  if (g_script[0] == '\0') return;
  snprintf(path, sizeof path, "%s.log", g_script);
  log = fopen(path, "ab");
  if (log == NULL) return;
  fprintf(log, "%s\t%llu\t%lu\t", function, (unsigned long long)handle, (unsigned long)strlen(text));
  fwrite(text, 1, strlen(text), log);
  fputc('\n', log);
  fclose(log);
}

/* Finds "function|action|output"; action and output point into line. */
static int FindLine(const char* function, char* line, size_t size, char** action, char** output) {
  FILE* script = fopen(g_script, "rb");
  size_t prefix = strlen(function);
  int found = 0;
  if (script == NULL) return 0;
  while (!found && fgets(line, (int)size, script) != NULL) {
    char* bar;
    line[strcspn(line, "\r\n")] = '\0';
    if (strncmp(line, function, prefix) != 0 || line[prefix] != '|') continue;
    *action = line + prefix + 1;
    bar = strchr(*action, '|');
    if (bar != NULL) {
      *bar = '\0';
      *output = bar + 1;
    } else {
      *output = "-";
    }
    found = 1;
  }
  fclose(script);
  return found;
}

/* The value of name in params (no escapes: the tests' paths and passwords have none). */
static void ParamValue(const char* params, const char* name, char* value, size_t size) {
  const char* at = params;
  size_t length;
  value[0] = '\0';
  while ((at = strstr(at, name)) != NULL) {
    if ((at == params || at[-1] == ';') && at[strlen(name)] == '=') {
      at += strlen(name) + 1;
      length = strcspn(at, ";");
      if (length >= size) length = size - 1;
      memcpy(value, at, length);
      value[length] = '\0';
      return;
    }
    at += strlen(name);
  }
}

static int ReadSmallFile(const char* path, char* text, size_t size) {
  FILE* file = fopen(path, "rb");
  size_t length;
  if (file == NULL) return 0;
  length = fread(text, 1, size - 1, file);
  text[length] = '\0';
  fclose(file);
  return 1;
}

static unsigned char Refuse(char** params, const char* message) {
  snprintf(*params, QORVCRYPT_PROVIDER_BUFFER_SIZE, "ResultMsgStr=%s", message);
  return 0;
}

/*
 * Key files as the concurrency tests make them: a key file holds "<set>|<password>", its
 * certificate and root certificate hold "<set>". "checkset": the files InitCrypt named
 * belong together and its EncKeyPwd is the key's password. "rekey": the same for the
 * key, which is then rewritten with the operation's EncKeyPwd, as a password change does.
 */
static unsigned char KeyFileAction(const char* action, char** params) {
  char keyFile[1024], certFile[1024], rootFile[1024], password[1024], key[2048], cert[2048], root[2048];
  char* bar;
  ParamValue(g_init, "EncKeyFile", keyFile, sizeof keyFile);
  ParamValue(g_init, "EncKeyPwd", password, sizeof password);
  if (!ReadSmallFile(keyFile, key, sizeof key) || (bar = strchr(key, '|')) == NULL) return Refuse(params, "no key");
  *bar = '\0';
  if (strcmp(bar + 1, password) != 0) return Refuse(params, "wrong key password");
  if (strcmp(action, "checkset") == 0) {
    ParamValue(g_init, "EncCertFile", certFile, sizeof certFile);
    ParamValue(g_init, "RootCertFile", rootFile, sizeof rootFile);
    if (!ReadSmallFile(certFile, cert, sizeof cert) || strcmp(cert, key) != 0) return Refuse(params, "foreign cert");
    if (rootFile[0] != '\0' && (!ReadSmallFile(rootFile, root, sizeof root) || strcmp(root, key) != 0)) {
      return Refuse(params, "foreign root");
    }
    return 1;
  }
  {
    FILE* file = fopen(keyFile, "wb");
    ParamValue(*params, "EncKeyPwd", password, sizeof password);
    if (file == NULL) return Refuse(params, "key not writable");
    fprintf(file, "%s|%s", key, password);
    fclose(file);
  }
  return 1;
}

static unsigned char Answer(const char* function, uintptr_t handle, char** params) {
  static char line[QORVCRYPT_PROVIDER_BUFFER_SIZE + 256];
  char* action;
  char* output;
  Record(function, handle, *params);
  if (!FindLine(function, line, sizeof line, &action, &output)) return 1;
  if (strcmp(action, "fault") == 0) CauseProcessorFault();
  if (strcmp(action, "throw") == 0) ThrowCppException();
  if (strncmp(action, "raise:", 6) == 0) RaiseFault(strtoul(action + 6, NULL, 0));
  if (strcmp(action, "rekey") == 0 || strcmp(action, "checkset") == 0) return KeyFileAction(action, params);
  if (strcmp(action, "overflow") == 0) return (unsigned char)Recurse(NULL);
  if (strncmp(action, "foreign:", 8) == 0) {
    PointAtOwnText(params, strtoul(action + 8, NULL, 0));
    return 1;
  }
  if (strncmp(action, "linger:", 7) == 0) {
    StartLingeringChild(action + 7);
    CauseProcessorFault();
  }
  if (strcmp(action, "abort") == 0) abort();
  if (strncmp(action, "exit:", 5) == 0) exit((int)strtol(action + 5, NULL, 0));
  if (strcmp(action, "loop") == 0) {
    for (;;) PauseBriefly();
  }
  if (strcmp(action, "heap") == 0) {
    SpoilHeap();
    return 0;
  }
  if (strcmp(action, "overrun") == 0) {
    /* Through a volatile pointer: the compiler is not to see that this is out of bounds. */
    char* volatile text = *params;
    memset(text, 'o', QORVCRYPT_PROVIDER_BUFFER_SIZE + 4096);
    return 1;
  }
  if (strncmp(action, "chdir:", 6) == 0) ChangeDirectory(action + 6);
  if (strncmp(action, "wait:", 5) == 0) WaitForFile(action + 5);
  if (strcmp(action, "unterminated") == 0) {
    memset(*params, 'x', QORVCRYPT_PROVIDER_BUFFER_SIZE);
    return 1;
  }
  if (strcmp(output, "-") != 0) {
    strncpy(*params, output, QORVCRYPT_PROVIDER_BUFFER_SIZE - 1);
    (*params)[QORVCRYPT_PROVIDER_BUFFER_SIZE - 1] = '\0';
  }
  return strcmp(action, "1") == 0 || strncmp(action, "chdir:", 6) == 0 || strncmp(action, "wait:", 5) == 0 ? 1 : 0;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params) {
  RememberScript(*Params);
  strncpy(g_init, *Params, sizeof g_init - 1);
  return Answer("InitCrypt", Handle, Params);
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char** Params) {
  unsigned char result = Answer("FinalCrypt", 0, Params);
  g_script[0] = '\0';
  free(g_foreignText);
  g_foreignText = NULL;
  return result;
}

#ifndef QORV_TEST_PROVIDER_WITHOUT_ENCRYPT
QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char** Params) { return Answer("Encrypt", 0, Params); }
#endif

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char** Params) { return Answer("Decrypt", 0, Params); }

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params) { return Answer("GetUSBCertFile", 0, Params); }

#ifndef QORV_TEST_PROVIDER_WITHOUT_OPTIONAL
QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(char** Params) { return Answer("CreateCAFile", 0, Params); }

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(char** Params) {
  return Answer("ChangeCAPassword", 0, Params);
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(char** Params) { return Answer("ValidateCert", 0, Params); }
#endif
