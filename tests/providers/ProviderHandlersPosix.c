#include <signal.h>
#include <string.h>

#include "providers/ProviderHandlers.h"

static char g_alternateStack[65536];

static void OnInterrupt(int number, siginfo_t* info, void* context) {
  (void)number;
  (void)info;
  (void)context;
}

void InstallTargetHandlers(void) {
  struct sigaction action;
  stack_t stack;
  memset(&action, 0, sizeof action);
  action.sa_sigaction = OnInterrupt;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, NULL);

  memset(&stack, 0, sizeof stack);
  stack.ss_sp = g_alternateStack;
  stack.ss_size = sizeof g_alternateStack;
  sigaltstack(&stack, NULL);
}
