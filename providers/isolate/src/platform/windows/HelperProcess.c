/*
 * The helper process on Windows: the stream is a named pipe of a fresh, unique name,
 * one instance only, local clients only, whose host end is overlapped (so that every
 * wait has a deadline and ends when the helper does) and whose helper end is the only
 * handle the helper inherits. The helper runs without a console window: the host may
 * be a windowed program.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "platform/IsolatePlatform.h"

struct IsoHelper {
  HANDLE process;
  HANDLE pipe;
  HANDLE event;
};

static volatile LONG g_pipeCounter;

int64_t IsoNowMs(void) { return (int64_t)GetTickCount64(); }

static DWORD RemainingMs(int64_t deadlineMs) {
  int64_t left;
  if (deadlineMs == ISO_NO_DEADLINE) return INFINITE;
  left = deadlineMs - IsoNowMs();
  if (left <= 0) return 0;
  return left > 0x7FFFFFFF ? 0x7FFFFFFF : (DWORD)left;
}

/* Appends text to the command line as one argument, quoted as the C runtime parses it. */
static int AppendArgument(char* line, size_t size, const char* text) {
  size_t at = strlen(line);
  const char* from;
  if (at + 2 >= size) return 0;
  if (at > 0) line[at++] = ' ';
  line[at++] = '"';
  for (from = text; *from != '\0'; ++from) {
    size_t backslashes = 0;
    while (from[backslashes] == '\\') ++backslashes;
    if (backslashes > 0) {
      /* Backslashes are doubled only in front of a quote, the closing one included. */
      const size_t written = from[backslashes] == '"' || from[backslashes] == '\0' ? backslashes * 2 : backslashes;
      if (at + written + 2 >= size) return 0;
      memset(line + at, '\\', written);
      at += written;
      from += backslashes - 1;
      continue;
    }
    if (at + 3 >= size) return 0;
    if (*from == '"') line[at++] = '\\';
    line[at++] = *from;
  }
  if (at + 2 >= size) return 0;
  line[at++] = '"';
  line[at] = '\0';
  return 1;
}

/* A pipe of a name no one else holds: the host's end, and the helper's, inheritable. */
static int CreateStream(HANDLE* hostEnd, HANDLE* helperEnd) {
  int attempt;
  SECURITY_ATTRIBUTES inheritable;
  inheritable.nLength = sizeof inheritable;
  inheritable.lpSecurityDescriptor = NULL;
  inheritable.bInheritHandle = TRUE;
  for (attempt = 0; attempt < 16; ++attempt) {
    char name[128];
    snprintf(name, sizeof name, "\\\\.\\pipe\\qorvcrypt-isolate-%lu-%ld-%llu", (unsigned long)GetCurrentProcessId(),
             (long)InterlockedIncrement(&g_pipeCounter), (unsigned long long)GetTickCount64());
    *hostEnd = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 65536,
                                65536, 0, NULL);
    if (*hostEnd == INVALID_HANDLE_VALUE) continue;
    *helperEnd = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, NULL);
    if (*helperEnd != INVALID_HANDLE_VALUE) return 1;
    CloseHandle(*hostEnd);
  }
  return 0;
}

/* Starts the program with only the helper's end of the stream inherited, where the
 * system can say so (other programs the host starts meanwhile must not hold it). */
static int StartProcess(const char* hostPath, char* commandLine, HANDLE helperEnd, PROCESS_INFORMATION* started) {
  STARTUPINFOEXA startup;
  SIZE_T listSize = 0;
  LPPROC_THREAD_ATTRIBUTE_LIST list = NULL;
  DWORD flags = CREATE_NO_WINDOW;
  BOOL ok;
  memset(&startup, 0, sizeof startup);
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  InitializeProcThreadAttributeList(NULL, 1, 0, &listSize);
  if (listSize > 0) list = (LPPROC_THREAD_ATTRIBUTE_LIST)malloc(listSize);
  if (list != NULL && InitializeProcThreadAttributeList(list, 1, 0, &listSize)) {
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &helperEnd, sizeof helperEnd, NULL,
                                  NULL)) {
      startup.StartupInfo.cb = sizeof startup;
      startup.lpAttributeList = list;
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
  }
  ok = CreateProcessA(hostPath, commandLine, NULL, NULL, TRUE, flags, NULL, NULL, &startup.StartupInfo, started);
  if (list != NULL) {
    if (startup.lpAttributeList != NULL) DeleteProcThreadAttributeList(list);
    free(list);
  }
  return ok != 0;
}

IsoHelper* IsoHelperStart(const char* hostPath, const char* providerPath) {
  HANDLE hostEnd, helperEnd;
  PROCESS_INFORMATION started;
  char commandLine[32768];
  char channel[32];
  IsoHelper* helper = (IsoHelper*)malloc(sizeof *helper);
  if (helper == NULL) return NULL;
  helper->event = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (helper->event == NULL || !CreateStream(&hostEnd, &helperEnd)) {
    if (helper->event != NULL) CloseHandle(helper->event);
    free(helper);
    return NULL;
  }
  /* Handles are 32-bit values in 32- and 64-bit processes alike. */
  snprintf(channel, sizeof channel, "%lu", (unsigned long)(uintptr_t)helperEnd);
  commandLine[0] = '\0';
  if (!AppendArgument(commandLine, sizeof commandLine, hostPath) ||
      !AppendArgument(commandLine, sizeof commandLine, "--channel") ||
      !AppendArgument(commandLine, sizeof commandLine, channel) ||
      !AppendArgument(commandLine, sizeof commandLine, providerPath) ||
      !StartProcess(hostPath, commandLine, helperEnd, &started)) {
    CloseHandle(helperEnd);
    CloseHandle(hostEnd);
    CloseHandle(helper->event);
    free(helper);
    return NULL;
  }
  CloseHandle(helperEnd);
  CloseHandle(started.hThread);
  helper->process = started.hProcess;
  helper->pipe = hostEnd;
  return helper;
}

/* One read or write, waiting for it, the helper's end or the deadline, whichever comes first. */
static IsoIoResult Transfer(IsoHelper* helper, char* data, DWORD size, int writing, int64_t deadlineMs, DWORD* done) {
  OVERLAPPED operation;
  HANDLE waits[2];
  BOOL started;
  DWORD waited;
  memset(&operation, 0, sizeof operation);
  operation.hEvent = helper->event;
  ResetEvent(helper->event);
  started = writing ? WriteFile(helper->pipe, data, size, NULL, &operation)
                    : ReadFile(helper->pipe, data, size, NULL, &operation);
  if (!started && GetLastError() != ERROR_IO_PENDING) return ISO_IO_BROKEN;
  /* The stream first: what the helper wrote before it ended is still read. */
  waits[0] = helper->event;
  waits[1] = helper->process;
  waited = WaitForMultipleObjects(2, waits, FALSE, RemainingMs(deadlineMs));
  if (waited != WAIT_OBJECT_0) CancelIo(helper->pipe);
  if (GetOverlappedResult(helper->pipe, &operation, done, TRUE) && *done > 0) return ISO_IO_DONE;
  return waited == WAIT_TIMEOUT ? ISO_IO_TIMED_OUT : ISO_IO_BROKEN;
}

static IsoIoResult TransferAll(IsoHelper* helper, char* data, size_t size, int writing, int64_t deadlineMs) {
  while (size > 0) {
    DWORD done = 0;
    const DWORD piece = size > 65536 ? 65536 : (DWORD)size;
    const IsoIoResult result = Transfer(helper, data, piece, writing, deadlineMs, &done);
    if (result != ISO_IO_DONE) return result;
    data += done;
    size -= done;
  }
  return ISO_IO_DONE;
}

IsoIoResult IsoHelperWrite(IsoHelper* helper, const void* data, size_t size, int64_t deadlineMs) {
  return TransferAll(helper, (char*)data, size, 1, deadlineMs);
}

IsoIoResult IsoHelperRead(IsoHelper* helper, void* data, size_t size, int64_t deadlineMs) {
  return TransferAll(helper, (char*)data, size, 0, deadlineMs);
}

void IsoHelperEnd(IsoHelper* helper, unsigned graceMs, IsoEnding* ending) {
  DWORD code = 0;
  int killed = 0;
  /* A helper waiting for the next request ends when the stream does. */
  CloseHandle(helper->pipe);
  if (WaitForSingleObject(helper->process, graceMs) != WAIT_OBJECT_0) {
    TerminateProcess(helper->process, 1);
    WaitForSingleObject(helper->process, 5000);
    killed = 1;
  }
  GetExitCodeProcess(helper->process, &code);
  if (ending != NULL) {
    ending->code = code;
    if (killed) {
      ending->kind = ISO_ENDED_KILLED;
    } else if (code >= 0x40000000) {
      /* An exception's code (the helper ends with it, see its fault handling). */
      ending->kind = ISO_ENDED_RAISED;
    } else {
      ending->kind = ISO_ENDED_EXITED;
    }
  }
  CloseHandle(helper->process);
  CloseHandle(helper->event);
  free(helper);
}
