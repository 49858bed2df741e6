#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

#include "providers/ProviderFaults.h"

namespace {
volatile uintptr_t g_unmappedAddress = 16;
}

extern "C" void CauseProcessorFault(void) { *reinterpret_cast<volatile int*>(g_unmappedAddress) = 1; }

extern "C" void RaiseFault(unsigned long code) { raise(static_cast<int>(code)); }

extern "C" void ThrowCppException(void) { throw std::runtime_error("test provider failure"); }

extern "C" void ChangeDirectory(const char* path) {
  if (chdir(path) != 0) return;
}

extern "C" void PauseBriefly(void) { usleep(10000); }

extern "C" void StartLingeringChild(const char* pidFile) {
  const pid_t child = fork();
  if (child == 0) {
    sleep(600);
    _exit(0);
  }
  if (FILE* file = fopen(pidFile, "w")) {
    fprintf(file, "%ld\n", static_cast<long>(child));
    fclose(file);
  }
}
