// Calls a function as a 32-bit Windows host calls a stdcall export, and records the
// registers that the callee must give back as it found them.
#pragma once

#include <cstdint>

extern "C" {

struct QorvStdcallRegisters {
  uint32_t esp;
  uint32_t ebx;
  uint32_t esi;
  uint32_t edi;
  uint32_t ebp;
  uint32_t sehChain;  // fs:[0], the thread's innermost exception registration record
};

// Pushes the count arguments (the first one last), fills ebx, esi, edi and ebp with
// marker values, calls fn and returns the low byte of eax. before receives what the
// callee must leave behind (esp as it was before the arguments were pushed, the
// markers, the exception chain), after what it did leave. esp and ebp are put back
// whatever the callee did, so that a broken one is reported, not followed.
unsigned char qorv_probe_stdcall(const void* fn, const uintptr_t* args, unsigned count, QorvStdcallRegisters* before,
                                 QorvStdcallRegisters* after);
}
