#include <windows.h>

#include <cstdint>

#include "providers/ProviderFaults.h"

namespace {
volatile uintptr_t g_unmappedAddress = 16;
}

void CauseProcessorFault() { *reinterpret_cast<volatile int*>(g_unmappedAddress) = 1; }

void RaiseFault(unsigned long code) { RaiseException(static_cast<DWORD>(code), EXCEPTION_NONCONTINUABLE, 0, nullptr); }
