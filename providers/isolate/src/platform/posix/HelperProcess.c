/*
 * The helper process on POSIX: started with posix_spawn (no fork of a host that may
 * have many threads), the stream a socket pair whose helper end is its descriptor 3
 * and whose host end is close-on-exec, so that no other program the host starts holds
 * it open. Writes never raise SIGPIPE in the host; nothing is installed in the host
 * (no signal handler, no thread): a helper is waited for by its own pid only.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "platform/IsolatePlatform.h"

extern char** environ;

/* The helper's end of the stream, as the helper program expects it. */
#define ISO_HELPER_CHANNEL_FD 3

struct IsoHelper {
  pid_t pid;
  int stream;
  int ended; /* reaped while waiting for the stream; status holds how it ended */
  int status;
};

/* How long the stream is waited for before the helper itself is asked whether it has
 * ended: a process the provider started may hold the stream open after the helper died. */
#define ISO_LIVENESS_SLICE_MS 200

int64_t IsoNowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

static int RemainingMs(int64_t deadlineMs) {
  int64_t left;
  if (deadlineMs == ISO_NO_DEADLINE) return -1;
  left = deadlineMs - IsoNowMs();
  if (left <= 0) return 0;
  return left > 1000000 ? 1000000 : (int)left;
}

/* The helper's status if it has ended: 1, with status set; 0 while it runs. */
static int Reaped(pid_t pid, int* status) {
  for (;;) {
    pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) return 1;
    if (done == 0) return 0;
    if (errno != EINTR) {
      /* Someone else reaped it (a host that waits for every child): it has ended. */
      *status = 0;
      return 1;
    }
  }
}

/* Waits until the stream is ready for events, the helper has ended or the deadline
 * passes. */
static IsoIoResult AwaitStream(IsoHelper* helper, short events, int64_t deadlineMs) {
  for (;;) {
    struct pollfd entry;
    int ready;
    int wait = RemainingMs(deadlineMs);
    entry.fd = helper->stream;
    entry.events = events;
    entry.revents = 0;
    if (wait < 0 || wait > ISO_LIVENESS_SLICE_MS) wait = ISO_LIVENESS_SLICE_MS;
    ready = poll(&entry, 1, wait);
    if (ready > 0) return ISO_IO_DONE;
    if (ready < 0 && errno != EINTR) return ISO_IO_BROKEN;
    if (ready == 0) {
      if (!helper->ended && Reaped(helper->pid, &helper->status)) helper->ended = 1;
      if (helper->ended) return ISO_IO_BROKEN;
      if (RemainingMs(deadlineMs) == 0) return ISO_IO_TIMED_OUT;
    }
  }
}

IsoHelper* IsoHelperStart(const char* hostPath, const char* providerPath) {
  int pair[2];
  int helperEnd;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  sigset_t signals;
  char* argv[5];
  IsoHelper* helper;
  int failed;
  struct stat program;
  /* posix_spawn reports a program that cannot be run only where it waits for the exec
   * (glibc does; valgrind's and older ones end the child with 127): ask first. */
  if (stat(hostPath, &program) != 0 || !S_ISREG(program.st_mode) || access(hostPath, X_OK) != 0) return NULL;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return NULL;
  /* dup2 onto the same number would keep close-on-exec: move it off 3 first. */
  helperEnd = pair[1];
  if (helperEnd == ISO_HELPER_CHANNEL_FD) {
    helperEnd = fcntl(pair[1], F_DUPFD_CLOEXEC, ISO_HELPER_CHANNEL_FD + 1);
    close(pair[1]);
    if (helperEnd < 0) {
      close(pair[0]);
      return NULL;
    }
  }
  helper = (IsoHelper*)malloc(sizeof *helper);
  if (helper == NULL) {
    close(pair[0]);
    close(helperEnd);
    return NULL;
  }
  argv[0] = (char*)hostPath;
  argv[1] = (char*)"--channel";
  argv[2] = (char*)"3";
  argv[3] = (char*)providerPath;
  argv[4] = NULL;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, helperEnd, ISO_HELPER_CHANNEL_FD);
  /* The helper starts as a fresh program would: default dispositions, nothing blocked,
   * whatever the host had set. */
  posix_spawnattr_init(&attributes);
  sigfillset(&signals);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  failed = posix_spawn(&helper->pid, hostPath, &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(helperEnd);
  if (failed != 0) {
    close(pair[0]);
    free(helper);
    return NULL;
  }
  helper->stream = pair[0];
  helper->ended = 0;
  helper->status = 0;
  return helper;
}

IsoIoResult IsoHelperWrite(IsoHelper* helper, const void* data, size_t size, int64_t deadlineMs) {
  const char* at = (const char*)data;
  while (size > 0) {
    ssize_t written;
    IsoIoResult ready = AwaitStream(helper, POLLOUT, deadlineMs);
    if (ready != ISO_IO_DONE) return ready;
    written = send(helper->stream, at, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return ISO_IO_BROKEN;
    }
    at += written;
    size -= (size_t)written;
  }
  return ISO_IO_DONE;
}

IsoIoResult IsoHelperRead(IsoHelper* helper, void* data, size_t size, int64_t deadlineMs) {
  char* at = (char*)data;
  while (size > 0) {
    ssize_t got;
    IsoIoResult ready = AwaitStream(helper, POLLIN, deadlineMs);
    if (ready != ISO_IO_DONE) return ready;
    got = recv(helper->stream, at, size, MSG_DONTWAIT);
    if (got == 0) return ISO_IO_BROKEN;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return ISO_IO_BROKEN;
    }
    at += got;
    size -= (size_t)got;
  }
  return ISO_IO_DONE;
}

void IsoHelperEnd(IsoHelper* helper, unsigned graceMs, IsoEnding* ending) {
  int status = 0;
  int killed = 0;
  const int64_t deadline = IsoNowMs() + graceMs;
  /* A helper that ends closes its end: wait for that first, then for the process. */
  for (;;) {
    char discard[256];
    ssize_t got;
    if (AwaitStream(helper, POLLIN, deadline) != ISO_IO_DONE) break;
    got = recv(helper->stream, discard, sizeof discard, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) break;
  }
  close(helper->stream);
  if (helper->ended) status = helper->status;
  while (!helper->ended && !Reaped(helper->pid, &status)) {
    if (IsoNowMs() >= deadline) {
      kill(helper->pid, SIGKILL);
      killed = 1;
      while (waitpid(helper->pid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    {
      const struct timespec pause = {0, 1000000};
      nanosleep(&pause, NULL);
    }
  }
  if (ending != NULL) {
    if (killed) {
      ending->kind = ISO_ENDED_KILLED;
      ending->code = 0;
    } else if (WIFSIGNALED(status)) {
      ending->kind = ISO_ENDED_RAISED;
      ending->code = (unsigned long)WTERMSIG(status);
    } else {
      ending->kind = ISO_ENDED_EXITED;
      ending->code = WIFEXITED(status) ? (unsigned long)WEXITSTATUS(status) : 0;
    }
  }
  free(helper);
}
