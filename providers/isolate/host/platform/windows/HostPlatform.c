#include "HostPlatform.h"

#include <signal.h>
#include <stdlib.h>
#include <windows.h>

static HANDLE g_channel = INVALID_HANDLE_VALUE;

/* No dialog, no debugger: the process ends with the fault's code, which the isolating
 * provider reports. */
static LONG WINAPI EndWithTheFault(EXCEPTION_POINTERS* fault) {
  TerminateProcess(GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

/* abort() ends the process as a fault does, not with an ordinary exit code. */
#define HOST_ABORTED_CODE 0x40000015 /* STATUS_FATAL_APP_EXIT */

static void EndAborted(int signal) {
  (void)signal;
  TerminateProcess(GetCurrentProcess(), HOST_ABORTED_CODE);
}

void HostPrepareProcess(void) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndWithTheFault);
  signal(SIGABRT, EndAborted);
}

int HostOpenChannel(const char* argument) {
  char* end;
  const unsigned long value = strtoul(argument, &end, 10);
  if (*argument == '\0' || *end != '\0' || value == 0) return 0;
  g_channel = (HANDLE)(uintptr_t)value;
  return 1;
}

int HostRead(void* data, size_t size) {
  char* at = (char*)data;
  while (size > 0) {
    DWORD got = 0;
    if (!ReadFile(g_channel, at, size > 65536 ? 65536 : (DWORD)size, &got, NULL) || got == 0) return 0;
    at += got;
    size -= got;
  }
  return 1;
}

int HostWrite(const void* data, size_t size) {
  const char* at = (const char*)data;
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(g_channel, at, size > 65536 ? 65536 : (DWORD)size, &written, NULL)) return 0;
    at += written;
    size -= written;
  }
  return 1;
}

static int (*g_serve)(void);
static volatile LONG g_served;

static DWORD WINAPI ServeOnItsThread(LPVOID unused) {
  DWORD code;
  (void)unused;
  code = (DWORD)g_serve();
  InterlockedExchange(&g_served, 1);
  return code;
}

/* STATUS_STACK_OVERFLOW: what a thread ended from under its calls ran into. */
#define HOST_THREAD_LOST_CODE 0xC00000FD

int HostServe(int (*serve)(void)) {
  HANDLE thread;
  DWORD code = 0;
  g_serve = serve;
  /* As large a stack as a host's main thread has. */
  thread = CreateThread(NULL, 1024 * 1024, ServeOnItsThread, NULL, STACK_SIZE_PARAM_IS_A_RESERVATION, NULL);
  if (thread == NULL) return serve();
  WaitForSingleObject(thread, INFINITE);
  if (!g_served) TerminateProcess(GetCurrentProcess(), HOST_THREAD_LOST_CODE);
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  return (int)code;
}

void HostCloseChannel(void) {
  CloseHandle(g_channel);
  g_channel = INVALID_HANDLE_VALUE;
}

void HostPause(unsigned ms) { Sleep(ms); }

void* HostLoadLibrary(const char* path) { return (void*)LoadLibraryA(path); }

void* HostFindFunction(void* library, const char* name) {
  return (void*)(uintptr_t)GetProcAddress((HMODULE)library, name);
}

void HostFreeCallBuffer(char* buffer, size_t size) {
  SYSTEM_INFO system;
  size_t pages;
  GetSystemInfo(&system);
  pages = (size + system.dwPageSize - 1) / system.dwPageSize;
  VirtualFree(buffer + size - pages * system.dwPageSize, 0, MEM_RELEASE);
}

char* HostCallBuffer(size_t size) {
  SYSTEM_INFO system;
  size_t page, pages;
  char* base;
  DWORD old;
  GetSystemInfo(&system);
  page = system.dwPageSize;
  pages = (size + page - 1) / page;
  base = (char*)VirtualAlloc(NULL, (pages + 1) * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (base == NULL) return NULL;
  if (!VirtualProtect(base + pages * page, page, PAGE_NOACCESS, &old)) return NULL;
  return base + pages * page - size;
}
