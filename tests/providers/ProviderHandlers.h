/* What the handler provider leaves behind beyond the C library's signal(), one
 * implementation per target. */
#ifndef QORV_TEST_PROVIDER_HANDLERS_H
#define QORV_TEST_PROVIDER_HANDLERS_H

#ifdef __cplusplus
extern "C" {
#endif

/* POSIX: a SIGINT handler set with sigaction and SA_SIGINFO, and an alternate signal
 * stack in the provider's own memory for the calling thread. Windows: the unhandled
 * exception filter. */
void InstallTargetHandlers(void);

#ifdef __cplusplus
}
#endif

#endif
