/*
 * The call sequences in progress, one per host thread: from InitCrypt to FinalCrypt a
 * thread's calls go to the helper its InitCrypt started. Threads of one host may run
 * sequences of the same type at once; each has its own helper.
 */
#ifndef QORV_ISOLATE_SESSIONS_H
#define QORV_ISOLATE_SESSIONS_H

#include <stdint.h>

#include "platform/IsolatePlatform.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  IsoHelper* helper;
  char* providerPath; /* as the configuration names it, for messages */
  int64_t timeoutMs;  /* for each call; 0: none */
} IsoSession;

/* Takes the calling thread's session out of the table; false when it has none. */
int IsoTakeSession(IsoSession* session);
/* Puts the calling thread's session in the table. False when the table is full (the
 * caller then ends the session). */
int IsoKeepSession(const IsoSession* session);
/* Ends a session's helper (waiting graceMs for it to end by itself) and frees it. */
void IsoEndSession(IsoSession* session, unsigned graceMs, IsoEnding* ending);
/* Ends every session still in the table: the provider is being unloaded. */
void IsoEndAllSessions(void);

#ifdef __cplusplus
}
#endif

#endif
