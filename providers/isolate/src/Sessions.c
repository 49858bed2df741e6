#include "Sessions.h"

#include <stdlib.h>
#include <string.h>

/* More threads than this in sequences of one isolated type at once are refused. */
#define ISO_MAX_SESSIONS 256

typedef struct {
  uint64_t thread;
  IsoSession session;
  int used;
} IsoSlot;

static IsoSlot g_slots[ISO_MAX_SESSIONS];

int IsoTakeSession(IsoSession* session) {
  const uint64_t thread = IsoThreadId();
  int found = 0;
  int index;
  IsoLock();
  for (index = 0; index < ISO_MAX_SESSIONS && !found; ++index) {
    if (g_slots[index].used && g_slots[index].thread == thread) {
      *session = g_slots[index].session;
      g_slots[index].used = 0;
      found = 1;
    }
  }
  IsoUnlock();
  return found;
}

int IsoKeepSession(const IsoSession* session) {
  int kept = 0;
  int index;
  IsoLock();
  for (index = 0; index < ISO_MAX_SESSIONS && !kept; ++index) {
    if (!g_slots[index].used) {
      g_slots[index].thread = IsoThreadId();
      g_slots[index].session = *session;
      g_slots[index].used = 1;
      kept = 1;
    }
  }
  IsoUnlock();
  return kept;
}

void IsoEndSession(IsoSession* session, unsigned graceMs, IsoEnding* ending) {
  if (session->helper != NULL) IsoHelperEnd(session->helper, graceMs, ending);
  free(session->providerPath);
  memset(session, 0, sizeof *session);
}

void IsoEndAllSessions(void) {
  int index;
  for (;;) {
    IsoSession session;
    int found = 0;
    IsoLock();
    for (index = 0; index < ISO_MAX_SESSIONS && !found; ++index) {
      if (g_slots[index].used) {
        session = g_slots[index].session;
        g_slots[index].used = 0;
        found = 1;
      }
    }
    IsoUnlock();
    if (!found) return;
    IsoEndSession(&session, 0, NULL);
  }
}
