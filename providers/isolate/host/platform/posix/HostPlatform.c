#define _GNU_SOURCE
#include "HostPlatform.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

static int g_channel = -1;

void HostPrepareProcess(void) {
  /* Faults end the process with their signal: the defaults, which the start gave it. */
#ifdef __linux__
  /* A helper whose host has gone ends too, even in the middle of an endless call. */
  prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
}

int HostOpenChannel(const char* argument) {
  char* end;
  const long value = strtol(argument, &end, 10);
  if (*argument == '\0' || *end != '\0' || value < 0 || value > 65535) return 0;
  g_channel = (int)value;
  /* Programs the provider starts do not hold the stream: it ends when this process does. */
  if (fcntl(g_channel, F_SETFD, FD_CLOEXEC) != 0) return 0;
#ifdef __linux__
  /* The host was gone before the death signal was asked for. */
  if (getppid() == 1) return 0;
#endif
  return 1;
}

int HostRead(void* data, size_t size) {
  char* at = (char*)data;
  while (size > 0) {
    const ssize_t got = read(g_channel, at, size);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    at += got;
    size -= (size_t)got;
  }
  return 1;
}

int HostWrite(const void* data, size_t size) {
  const char* at = (const char*)data;
  while (size > 0) {
    const ssize_t written = write(g_channel, at, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    at += written;
    size -= (size_t)written;
  }
  return 1;
}

int HostServe(int (*serve)(void)) { return serve(); }

void HostCloseChannel(void) {
  close(g_channel);
  g_channel = -1;
}

void HostPause(unsigned ms) { usleep((useconds_t)ms * 1000); }

void* HostLoadLibrary(const char* path) {
  /* A bare file name is one in the current directory, as the library loads it, not one
   * dlopen would search for. */
  char* local;
  void* library;
  if (strchr(path, '/') != NULL) return dlopen(path, RTLD_NOW | RTLD_LOCAL);
  local = (char*)malloc(strlen(path) + 3);
  if (local == NULL) return NULL;
  strcpy(local, "./");
  strcat(local, path);
  library = dlopen(local, RTLD_NOW | RTLD_LOCAL);
  free(local);
  return library;
}

void* HostFindFunction(void* library, const char* name) { return dlsym(library, name); }

static size_t PagesFor(size_t size, size_t page) { return (size + page - 1) / page; }

void HostFreeCallBuffer(char* buffer, size_t size) {
  const size_t page = (size_t)sysconf(_SC_PAGESIZE);
  const size_t pages = PagesFor(size, page);
  munmap(buffer + size - pages * page, (pages + 1) * page);
}

char* HostCallBuffer(size_t size) {
  const size_t page = (size_t)sysconf(_SC_PAGESIZE);
  const size_t pages = PagesFor(size, page);
  char* base = (char*)mmap(NULL, (pages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return NULL;
  if (mprotect(base + pages * page, page, PROT_NONE) != 0) return NULL;
  return base + pages * page - size;
}
