#include "platform/ProviderEntryCall.h"

#if defined(__i386__)
// ProviderEntryCall_i686.S: calls fn with count 32-bit arguments as a stdcall function
// and returns 1 when fn took exactly those arguments off the stack, 0 when it did not
// (the stack pointer is put back either way). The answer is stored in *result.
extern "C" unsigned char qorv_call_stdcall_checked(const void* fn, const uintptr_t* args, unsigned count,
                                                   unsigned char* result);
#endif

namespace qorv::platform {

#if defined(__i386__)

bool CallProviderEntry(QorvProviderFn entry, char** params, unsigned char& result) {
  const uintptr_t args[] = {reinterpret_cast<uintptr_t>(params)};
  return qorv_call_stdcall_checked(reinterpret_cast<const void*>(entry), args, 1, &result) != 0;
}

bool CallProviderEntry(QorvProviderInitFn entry, uintptr_t handle, char** params, unsigned char& result) {
  const uintptr_t args[] = {handle, reinterpret_cast<uintptr_t>(params)};
  return qorv_call_stdcall_checked(reinterpret_cast<const void*>(entry), args, 2, &result) != 0;
}

#else

// x86_64 has one calling convention: the caller owns the stack space of the arguments.
bool CallProviderEntry(QorvProviderFn entry, char** params, unsigned char& result) {
  result = entry(params);
  return true;
}

bool CallProviderEntry(QorvProviderInitFn entry, uintptr_t handle, char** params, unsigned char& result) {
  result = entry(handle, params);
  return true;
}

#endif

}  // namespace qorv::platform
