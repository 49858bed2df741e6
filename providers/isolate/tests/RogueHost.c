/*
 * A helper program that breaks the exchange, for the isolating provider's tests. It
 * takes its behaviour from the provider path it is given, reads the first request and:
 *   garbage      answers 16 bytes that are no reply
 *   oversize     answers a reply longer than the call buffer
 *   wide-result  answers a result that is not one byte
 *   cut-short    answers part of a reply, closes the stream and stays
 *   silent       never answers
 */
#include <string.h>

#include "HostPlatform.h"
#include "IsolateProtocol.h"

static void Stay(void) {
  for (;;) HostPause(1000);
}

int main(int argc, char** argv) {
  unsigned char head[ISO_REQUEST_HEAD_SIZE];
  static char body[ISO_MAX_REQUEST];
  unsigned char reply[ISO_REPLY_HEAD_SIZE + 10];
  const char* mode;
  if (argc != 4 || !HostOpenChannel(argv[2])) return 2;
  mode = argv[3];
  if (!HostRead(head, sizeof head) || IsoGet32(head + 16) > sizeof body || !HostRead(body, IsoGet32(head + 16))) {
    return 3;
  }
  memset(reply, 'x', sizeof reply);
  IsoPut32(reply, ISO_MAGIC_REPLY);
  IsoPut32(reply + 4, ISO_STATUS_ANSWERED);
  IsoPut32(reply + 8, 1);
  IsoPut32(reply + 12, 10);
  if (strcmp(mode, "garbage") == 0) {
    memset(reply, 'x', ISO_REPLY_HEAD_SIZE);
  } else if (strcmp(mode, "oversize") == 0) {
    IsoPut32(reply + 12, ISO_BUFFER_SIZE + 1);
  } else if (strcmp(mode, "wide-result") == 0) {
    IsoPut32(reply + 8, 256);
  } else if (strcmp(mode, "cut-short") == 0) {
    IsoPut32(reply + 12, 100);
    HostWrite(reply, sizeof reply);
    HostCloseChannel();
    Stay();
  } else {
    Stay();
  }
  HostWrite(reply, sizeof reply);
  Stay();
  return 0;
}
