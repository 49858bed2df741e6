#include "platform/ProviderEntryCall.h"

namespace qorv::platform {

bool CallProviderEntry(QorvProviderFn entry, char** params, unsigned char& result) {
  result = entry(params);
  return true;
}

bool CallProviderEntry(QorvProviderInitFn entry, uintptr_t handle, char** params, unsigned char& result) {
  result = entry(handle, params);
  return true;
}

}  // namespace qorv::platform
