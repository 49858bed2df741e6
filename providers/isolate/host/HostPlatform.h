/* The operating system's services of the helper program, one implementation per system. */
#ifndef QORV_PROVIDER_HOST_PLATFORM_H
#define QORV_PROVIDER_HOST_PLATFORM_H

#include <stddef.h>

/* Makes the process end at once, with the fault's code, on a fault, so that no dialog
 * or debugger holds it; and makes it end with the host where the system can. */
void HostPrepareProcess(void);
/* Takes the stream from its argument (a descriptor or handle number); 0 when it is not one. */
int HostOpenChannel(const char* argument);
/* Exactly size bytes: 0 when the stream ended or failed. */
int HostRead(void* data, size_t size);
int HostWrite(const void* data, size_t size);
/* Runs serve, which makes the provider's calls, and returns its exit code. On Windows it
 * runs on a thread of its own, the same one for every call: wine ends a thread whose
 * stack overflows without room for a handler, and with it, were it the main one, the
 * process with status 0; the main thread then ends the process as the fault would. */
int HostServe(int (*serve)(void));
/* Closes this end of the stream. */
void HostCloseChannel(void);
/* Waits for about ms milliseconds. */
void HostPause(unsigned ms);
/* The provider library and its functions (null when absent). */
void* HostLoadLibrary(const char* path);
void* HostFindFunction(void* library, const char* name);
/* The call buffer, its last byte right in front of an inaccessible page: a provider
 * that writes past it faults there instead of spoiling the helper's memory. */
char* HostCallBuffer(size_t size);
void HostFreeCallBuffer(char* buffer, size_t size);

#endif
