// Calls a provider library's functions, checking what the processor lets the caller
// check of the calling convention they were built with.
#pragma once

#include "QorvCryptProvider.h"

namespace qorv::platform {

// Calls entry(params) (entry(handle, params)) and stores its answer in result. Returns
// false when the function broke the calling convention: on 32-bit Windows, a function
// built cdecl by mistake leaves its arguments on the stack instead of taking them off;
// the stack is set right again and the answer must not be trusted. Where there is one
// convention only, the call is a plain one and always returns true.
bool CallProviderEntry(QorvProviderFn entry, char** params, unsigned char& result);
bool CallProviderEntry(QorvProviderInitFn entry, uintptr_t handle, char** params, unsigned char& result);

}  // namespace qorv::platform
