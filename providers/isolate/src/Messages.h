/* The isolating provider's messages, in the host's code page. Each names the provider
 * (or the helper program) and what happened. */
#ifndef QORV_ISOLATE_MESSAGES_H
#define QORV_ISOLATE_MESSAGES_H

#include "platform/IsolatePlatform.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Each returns a malloc'd text (null when memory ran out). */
char* IsoMissingLibPathMessage(void);
char* IsoBadTimeoutMessage(const char* value);
char* IsoHostNotStartedMessage(const char* hostPath);
char* IsoNotLoadedMessage(const char* providerPath);
char* IsoNotSupportedMessage(void);
char* IsoRaisedMessage(const char* name);
char* IsoExitedMessage(const char* providerPath, const char* function, unsigned long code);
char* IsoTimedOutMessage(const char* providerPath, const char* function, long long timeoutMs);
char* IsoBrokenMessage(const char* providerPath);
char* IsoOutOfBoundsMessage(const char* providerPath);
char* IsoNoSequenceMessage(void);
char* IsoRequestTooLongMessage(void);
char* IsoTooManySequencesMessage(void);

#ifdef __cplusplus
}
#endif

#endif
