/*
 * The isolating provider: the provider contract's eight functions, each forwarded to
 * the real provider, which runs in a helper process for the length of one call
 * sequence. InitCrypt starts the helper; FinalCrypt, a failed InitCrypt (no FinalCrypt
 * follows one) or the provider's unload ends it. Whatever the real provider does to its
 * process (a fault, exit, a hang past IsolatedTimeout, a broken or out-of-bounds reply)
 * ends that call with 0 and a message naming it; the host goes on.
 *
 * Its settings come with InitCrypt's extension parameters, which reach the real
 * provider as they are:
 *   IsolatedLibPath  the real provider (required)
 *   IsolatedHost     the helper program; by default qorvcrypt-provider-host beside
 *                    this library (name one of the provider's architecture to run a
 *                    provider built for another)
 *   IsolatedTimeout  a limit for each call, in milliseconds (none by default: a
 *                    provider may wait for its user)
 */
#include <stdlib.h>
#include <string.h>

#include "IsolateProtocol.h"
#include "Messages.h"
#include "ParamText.h"
#include "QorvCryptProvider.h"
#include "Sessions.h"

/* How long a helper that has answered FinalCrypt, or lost its stream, may take to end. */
#define ISO_END_GRACE_MS 2000
/* The largest IsolatedTimeout: about 24 days. */
#define ISO_MAX_TIMEOUT_MS 2147483647LL

/* Ends a call with result 0 and message (when there is one) as its ResultMsgStr (the
 * call buffer holds at least ISO_BUFFER_SIZE bytes). */
static unsigned char Refuse(char** params, char* message) {
  if (message != NULL) IsoWriteMessage(*params, ISO_BUFFER_SIZE, message);
  free(message);
  return 0;
}

/* Milliseconds from a text of digits; -1 when it is not one, or too large. */
static long long ParseTimeout(const char* text) {
  long long value = 0;
  const char* at;
  if (*text == '\0') return 0;
  for (at = text; *at != '\0'; ++at) {
    if (*at < '0' || *at > '9') return -1;
    value = value * 10 + (*at - '0');
    if (value > ISO_MAX_TIMEOUT_MS) return -1;
  }
  return value;
}

/* Starts the helper for InitCrypt's settings: 0 and a message in params on failure. */
static int StartSession(char** params, IsoSession* session) {
  const size_t length = IsoTextLength(*params, ISO_MAX_REQUEST);
  char* libPath = IsoParamValue(*params, length, "IsolatedLibPath");
  char* hostPath = IsoParamValue(*params, length, "IsolatedHost");
  char* timeout = IsoParamValue(*params, length, "IsolatedTimeout");
  char* message = NULL;
  long long timeoutMs = 0;
  memset(session, 0, sizeof *session);
  if (libPath == NULL || hostPath == NULL || timeout == NULL) {
    /* Out of memory: nothing can be said. */
  } else if (*libPath == '\0') {
    message = IsoMissingLibPathMessage();
  } else if ((timeoutMs = ParseTimeout(timeout)) < 0) {
    message = IsoBadTimeoutMessage(timeout);
  } else {
    if (*hostPath == '\0') {
      char folder[4096];
      const size_t size = sizeof folder + strlen(kIsoHostFileName);
      free(hostPath);
      hostPath = IsoOwnFolder(folder, sizeof folder) ? (char*)malloc(size) : NULL;
      if (hostPath != NULL) {
        strcpy(hostPath, folder);
        strcat(hostPath, kIsoHostFileName);
      }
    }
    if (hostPath != NULL) {
      session->helper = IsoHelperStart(hostPath, libPath);
      if (session->helper == NULL) message = IsoHostNotStartedMessage(hostPath);
    }
  }
  free(hostPath);
  free(timeout);
  if (session->helper == NULL) {
    free(libPath);
    Refuse(params, message);
    return 0;
  }
  free(message);
  session->providerPath = libPath;
  session->timeoutMs = timeoutMs;
  return 1;
}

/* The helper failed the exchange: ends it and says what happened. */
static unsigned char HelperFailed(IsoSession* session, IsoIoResult failure, IsoFunction function, char** params) {
  const char* name = kIsoFunctionNames[function];
  IsoEnding ending;
  char* message;
  if (failure == ISO_IO_TIMED_OUT) {
    message = IsoTimedOutMessage(session->providerPath, name, session->timeoutMs);
    IsoEndSession(session, 0, NULL);
    return Refuse(params, message);
  }
  /* The stream ended: the helper is ending, or has closed its end and goes on. */
  IsoHelperEnd(session->helper, ISO_END_GRACE_MS, &ending);
  session->helper = NULL;
  if (ending.kind == ISO_ENDED_RAISED) {
    message = IsoRaisedMessage(session->providerPath);
  } else if (ending.kind == ISO_ENDED_EXITED) {
    message = IsoExitedMessage(session->providerPath, name, ending.code);
  } else {
    message = IsoBrokenMessage(session->providerPath);
  }
  IsoEndSession(session, 0, NULL);
  return Refuse(params, message);
}

/* One call through the helper. On 0 with the session ended, params holds the message;
 * otherwise it holds what the real provider left in its buffer. *ended tells whether
 * the session was ended. */
static unsigned char Exchange(IsoSession* session, IsoFunction function, uintptr_t handle, char** params, int* ended) {
  unsigned char head[ISO_REQUEST_HEAD_SIZE];
  unsigned char replyHead[ISO_REPLY_HEAD_SIZE];
  char* body;
  const size_t length = IsoTextLength(*params, ISO_MAX_REQUEST + 1);
  const size_t bufferSize = IsoCallBufferSize(length);
  const int64_t deadline = session->timeoutMs > 0 ? IsoNowMs() + session->timeoutMs : ISO_NO_DEADLINE;
  IsoIoResult io;
  uint32_t status, result, replyLength;
  *ended = 0;
  if (length > ISO_MAX_REQUEST) return Refuse(params, IsoRequestTooLongMessage());
  IsoPut32(head, ISO_MAGIC_REQUEST);
  IsoPut32(head + 4, (uint32_t)function);
  IsoPut64(head + 8, (uint64_t)handle);
  IsoPut32(head + 16, (uint32_t)length);
  io = IsoHelperWrite(session->helper, head, sizeof head, deadline);
  if (io == ISO_IO_DONE) io = IsoHelperWrite(session->helper, *params, length, deadline);
  if (io == ISO_IO_DONE) io = IsoHelperRead(session->helper, replyHead, sizeof replyHead, deadline);
  if (io != ISO_IO_DONE) {
    *ended = 1;
    return HelperFailed(session, io, function, params);
  }
  status = IsoGet32(replyHead + 4);
  result = IsoGet32(replyHead + 8);
  replyLength = IsoGet32(replyHead + 12);
  if (IsoGet32(replyHead) != ISO_MAGIC_REPLY || status > ISO_STATUS_MISSING || result > 0xFF ||
      replyLength > bufferSize) {
    char* message = IsoOutOfBoundsMessage(session->providerPath);
    *ended = 1;
    IsoEndSession(session, 0, NULL);
    return Refuse(params, message);
  }
  /* Read apart from the host's buffer, which keeps its text if the reply breaks off. */
  body = (char*)malloc(replyLength + 1);
  if (body == NULL) {
    *ended = 1;
    IsoEndSession(session, 0, NULL);
    return 0;
  }
  io = IsoHelperRead(session->helper, body, replyLength, deadline);
  if (io != ISO_IO_DONE) {
    free(body);
    *ended = 1;
    return HelperFailed(session, io, function, params);
  }
  if (status == ISO_STATUS_NOT_LOADED) {
    char* message = IsoNotLoadedMessage(session->providerPath);
    free(body);
    *ended = 1;
    IsoEndSession(session, ISO_END_GRACE_MS, NULL);
    return Refuse(params, message);
  }
  if (status == ISO_STATUS_MISSING) {
    free(body);
    /* As the library answers for a provider loaded directly. */
    return Refuse(params, function >= ISO_CREATE_CA_FILE ? IsoNotSupportedMessage()
                                                         : IsoRaisedMessage(kIsoFunctionNames[function]));
  }
  memcpy(*params, body, replyLength);
  if (replyLength < bufferSize) (*params)[replyLength] = '\0';
  free(body);
  return (unsigned char)(result != 0);
}

static unsigned char Forward(IsoFunction function, uintptr_t handle, char** params) {
  IsoSession session;
  unsigned char result;
  int ended;
  if (function == ISO_INIT_CRYPT) {
    /* A sequence this thread left without FinalCrypt is over. */
    if (IsoTakeSession(&session)) IsoEndSession(&session, 0, NULL);
    if (!StartSession(params, &session)) return 0;
  } else if (!IsoTakeSession(&session)) {
    return Refuse(params, IsoNoSequenceMessage());
  }
  result = Exchange(&session, function, handle, params, &ended);
  if (ended) return 0;
  if (function == ISO_FINAL_CRYPT || (function == ISO_INIT_CRYPT && result == 0)) {
    IsoEndSession(&session, ISO_END_GRACE_MS, NULL);
  } else if (!IsoKeepSession(&session)) {
    IsoEndSession(&session, 0, NULL);
    return Refuse(params, IsoTooManySequencesMessage());
  }
  return result;
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params) {
  return Forward(ISO_INIT_CRYPT, Handle, Params);
}

#define ISO_FORWARDING(name, function) \
  QORVCRYPT_API unsigned char QORVCRYPT_CALL name(char** Params) { return Forward(function, 0, Params); }

ISO_FORWARDING(Encrypt, ISO_ENCRYPT)
ISO_FORWARDING(Decrypt, ISO_DECRYPT)
ISO_FORWARDING(FinalCrypt, ISO_FINAL_CRYPT)
ISO_FORWARDING(GetUSBCertFile, ISO_GET_USB_CERT_FILE)
ISO_FORWARDING(CreateCAFile, ISO_CREATE_CA_FILE)
ISO_FORWARDING(ChangeCAPassword, ISO_CHANGE_CA_PASSWORD)
ISO_FORWARDING(ValidateCert, ISO_VALIDATE_CERT)
