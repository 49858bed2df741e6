/* The faults and misdeeds the test provider can commit, one implementation per target. */
#ifndef QORV_TEST_PROVIDER_FAULTS_H
#define QORV_TEST_PROVIDER_FAULTS_H

#ifdef __cplusplus
extern "C" {
#endif

/* A write to an unmapped address. */
void CauseProcessorFault(void);
/* Windows: RaiseException with the code (non-continuable). POSIX: raise(code). */
void RaiseFault(unsigned long code);
/* POSIX: a C++ exception out of the provider. Windows: nothing (see the README). */
void ThrowCppException(void);
/* Makes path the process's current directory. */
void ChangeDirectory(const char* path);
/* POSIX: starts a process that holds every descriptor of this one and sleeps for ten
 * minutes, and writes its pid into pidFile. Windows: nothing. */
void StartLingeringChild(const char* pidFile);
/* Sleeps for about ten milliseconds. */
void PauseBriefly(void);

#ifdef __cplusplus
}
#endif

#endif
