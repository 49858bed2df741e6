#include <signal.h>

#include <cstdint>

#include "providers/ProviderFaults.h"

namespace {
volatile uintptr_t g_unmappedAddress = 16;
}

void CauseProcessorFault() { *reinterpret_cast<volatile int*>(g_unmappedAddress) = 1; }

void RaiseFault(unsigned long code) { raise(static_cast<int>(code)); }
