/*
 * qorvcrypt-provider-host: the helper process of the isolating provider. It loads one
 * provider library and makes the calls its host sends over the stream (see
 * IsolateProtocol.h) until FinalCrypt has been answered or the stream ends. Whatever
 * the provider does, it does to this process only.
 *
 *   qorvcrypt-provider-host --channel <descriptor or handle> <provider library>
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "HostPlatform.h"
#include "IsolateProtocol.h"
#include "QorvCryptProvider.h"

/* Exit codes for a stream that breaks the exchange, and for a wrong command line. */
#define HOST_EXIT_BAD_STREAM 3
#define HOST_EXIT_USAGE 2

static int Reply(uint32_t status, uint32_t result, const char* text, size_t length) {
  unsigned char head[ISO_REPLY_HEAD_SIZE];
  IsoPut32(head, ISO_MAGIC_REPLY);
  IsoPut32(head + 4, status);
  IsoPut32(head + 8, result);
  IsoPut32(head + 12, (uint32_t)length);
  return HostWrite(head, sizeof head) && HostWrite(text, length);
}

/* The provider and its functions, loaded before the first request. */
static void* g_functions[ISO_FUNCTION_COUNT];
static void* g_library;
static char* g_buffer;
static size_t g_bufferSize;

/* Answers requests until FinalCrypt has been answered or the stream ends. */
static int Serve(void) {
  for (;;) {
    unsigned char head[ISO_REQUEST_HEAD_SIZE];
    uint32_t function, length;
    uint32_t status = ISO_STATUS_ANSWERED;
    unsigned char result = 0;
    char* text = NULL;
    size_t replyLength = 0;
    if (!HostRead(head, sizeof head)) return 0;
    function = IsoGet32(head + 4);
    length = IsoGet32(head + 16);
    if (IsoGet32(head) != ISO_MAGIC_REQUEST || function >= ISO_FUNCTION_COUNT || length > ISO_MAX_REQUEST) {
      return HOST_EXIT_BAD_STREAM;
    }
    /* A buffer of the size the library would hand the provider, ending at the guard. */
    if (IsoCallBufferSize(length) != g_bufferSize) {
      if (g_buffer != NULL) HostFreeCallBuffer(g_buffer, g_bufferSize);
      g_bufferSize = IsoCallBufferSize(length);
      g_buffer = HostCallBuffer(g_bufferSize);
      if (g_buffer == NULL) return HOST_EXIT_BAD_STREAM;
    }
    text = g_buffer;
    memset(g_buffer, 0, g_bufferSize);
    if (!HostRead(g_buffer, length)) return HOST_EXIT_BAD_STREAM;
    if (g_library == NULL) {
      status = ISO_STATUS_NOT_LOADED;
    } else if (g_functions[function] == NULL) {
      status = ISO_STATUS_MISSING;
    } else {
      if (function == ISO_INIT_CRYPT) {
        QorvProviderInitFn entry = (QorvProviderInitFn)(uintptr_t)g_functions[function];
        result = entry((uintptr_t)IsoGet64(head + 8), &text);
      } else {
        QorvProviderFn entry = (QorvProviderFn)(uintptr_t)g_functions[function];
        result = entry(&text);
      }
      /* Read at whatever pointer the provider left, within the buffer's size. */
      replyLength = IsoTextLength(text, g_bufferSize);
    }
    if (!Reply(status, result, text, replyLength)) return HOST_EXIT_BAD_STREAM;
    if (status == ISO_STATUS_NOT_LOADED || function == ISO_FINAL_CRYPT) return 0;
  }
}

int main(int argc, char** argv) {
  int index;
  if (argc != 4 || strcmp(argv[1], "--channel") != 0) {
    fprintf(stderr,
            "usage: qorvcrypt-provider-host --channel <descriptor> <provider library>\n"
            "Started by the isolating provider, which talks to it over the channel.\n");
    return HOST_EXIT_USAGE;
  }
  HostPrepareProcess();
  if (!HostOpenChannel(argv[2])) return HOST_EXIT_USAGE;
  g_library = HostLoadLibrary(argv[3]);
  for (index = 0; g_library != NULL && index < ISO_FUNCTION_COUNT; ++index) {
    g_functions[index] = HostFindFunction(g_library, kIsoFunctionNames[index]);
  }
  return HostServe(Serve);
}
