/*
 * The operating system's services the isolating provider uses, one implementation per
 * system: the helper process and the stream to it, a lock, the calling thread's
 * identity, a clock, the provider's own folder and the code page of its messages.
 */
#ifndef QORV_ISOLATE_PLATFORM_H
#define QORV_ISOLATE_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A running helper process and its end of the stream between them. */
typedef struct IsoHelper IsoHelper;

typedef enum {
  ISO_IO_DONE = 0,
  ISO_IO_TIMED_OUT, /* the deadline passed first */
  ISO_IO_BROKEN     /* the stream ended or failed: the helper has gone or closed it */
} IsoIoResult;

/* How a helper ended. */
typedef enum {
  ISO_ENDED_EXITED = 0, /* it exited by itself with code */
  ISO_ENDED_RAISED,     /* a fault ended it: a signal, or an exception's code on Windows */
  ISO_ENDED_KILLED      /* it was still running and was ended */
} IsoEndKind;

typedef struct {
  IsoEndKind kind;
  unsigned long code;
} IsoEnding;

/* No deadline: wait for as long as the helper takes. */
#define ISO_NO_DEADLINE INT64_MIN

/* Starts hostPath with the provider's path as its argument and the stream on a channel
 * of its own: its standard input reads nothing, its output and errors are the host's.
 * Null when it cannot be started. */
IsoHelper* IsoHelperStart(const char* hostPath, const char* providerPath);
/* Writes or reads exactly size bytes, giving up at deadlineMs (IsoNowMs's clock). */
IsoIoResult IsoHelperWrite(IsoHelper* helper, const void* data, size_t size, int64_t deadlineMs);
IsoIoResult IsoHelperRead(IsoHelper* helper, void* data, size_t size, int64_t deadlineMs);
/* Closes the stream, gives the helper graceMs to end by itself, ends it if it has not,
 * waits for it and frees everything; ending (may be null) tells how it ended. */
void IsoHelperEnd(IsoHelper* helper, unsigned graceMs, IsoEnding* ending);

/* A monotonic clock in milliseconds. */
int64_t IsoNowMs(void);

/* One process-wide lock, for the table of sessions. */
void IsoLock(void);
void IsoUnlock(void);
uint64_t IsoThreadId(void);

/* The folder of the isolating provider's own file, with its separator at the end, and
 * the helper's file name: the helper's default place is beside the provider. */
int IsoOwnFolder(char* folder, size_t size);
extern const char* const kIsoHostFileName;

/* A message, written in UTF-8, in the code page of the host's messages: GBK on
 * Windows, UTF-8 elsewhere. Text the caller gave (paths) is passed through as it is.
 * Returns a malloc'd text, or null when memory ran out. */
char* IsoMessageText(const char* utf8);

/* The length of the character at text (at most length): GBK's on Windows, UTF-8's
 * elsewhere. */
size_t IsoCharacterLength(const char* text, size_t length);

#ifdef __cplusplus
}
#endif

#endif
