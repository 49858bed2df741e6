#include "provider/CryptDll.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "interface/AppWindow.h"
#include "interface/ParamString.h"
#include "platform/FaultGuard.h"
#include "platform/FileSystem.h"
#include "platform/ProviderEntryCall.h"
#include "util/Messages.h"

namespace qorv {
namespace {

// Everything one guarded provider call needs, and what it gives back.
struct ProviderCall {
  QorvProviderFn entry = nullptr;
  QorvProviderInitFn initEntry = nullptr;  // set for InitCrypt instead of entry
  uintptr_t windowHandle = 0;
  char* buffer = nullptr;
  size_t bufferSize = 0;
  unsigned char result = 0;
  // False when the provider function broke the calling convention (built cdecl where
  // stdcall is due): its answer is not trusted and the call fails as a raising one.
  bool conventionKept = true;
  std::string output;
};

// The output is read inside the guard as well: a provider may hand back a bad pointer.
void RunProviderCall(void* context) {
  auto* call = static_cast<ProviderCall*>(context);
  char* text = call->buffer;
  call->conventionKept = call->initEntry != nullptr
                             ? platform::CallProviderEntry(call->initEntry, call->windowHandle, &text, call->result)
                             : platform::CallProviderEntry(call->entry, &text, call->result);
  if (!call->conventionKept) return;
  if (text == nullptr) {
    call->output.clear();
    return;
  }
  // No more than the buffer's size, at whatever pointer the provider left and whether
  // or not it terminated its text there.
  const void* end = std::memchr(text, '\0', call->bufferSize);
  call->output.assign(text, end != nullptr ? static_cast<const char*>(end) - text : call->bufferSize);
}

template <typename Fn>
Fn Bind(const platform::DynamicLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.Symbol(name));
}

}  // namespace

TCryptDll::TCryptDll(std::string libPath) : FLibPath(std::move(libPath)) { LoadProvider(); }

TCryptDll::~TCryptDll() { UnloadProvider(); }

void TCryptDll::LoadProvider() {
  if (IsLoaded() || !platform::FileExists(FLibPath)) return;
  // Recorded before the provider's own code first runs, as it is loaded.
  FCurrentDirectory.emplace();
  if (!FHandle.Open(FLibPath)) {
    FCurrentDirectory.reset();
    return;
  }
  BindFunctions();
  FGuard.emplace(&FHandle);
}

void TCryptDll::BindFunctions() {
  FEncrypt = Bind<QorvProviderFn>(FHandle, "Encrypt");
  FDecrypt = Bind<QorvProviderFn>(FHandle, "Decrypt");
  FInitCrypt = Bind<QorvProviderInitFn>(FHandle, "InitCrypt");
  FFinalCrypt = Bind<QorvProviderFn>(FHandle, "FinalCrypt");
  FCreateCAFile = Bind<QorvProviderFn>(FHandle, "CreateCAFile");
  FGetUSBCertFile = Bind<QorvProviderFn>(FHandle, "GetUSBCertFile");
  FChangeCAPassword = Bind<QorvProviderFn>(FHandle, "ChangeCAPassword");
  FValidateCert = Bind<QorvProviderFn>(FHandle, "ValidateCert");
}

void TCryptDll::UnloadProvider() {
  // The provider's own clean-up at unload runs as it did before any call, once the
  // handlers it left are gone; the directory comes back after that clean-up too.
  FGuard.reset();
  FHandle.Close();
  FCurrentDirectory.reset();
}

bool TCryptDll::CallProvider(const char* name, QorvProviderFn entry, QorvProviderInitFn initEntry, bool optional,
                             std::string& params) {
  if (optional && entry == nullptr) {
    params = SetParamValue(params, "ResultMsgStr", msg::ProviderNotSupported());
    return false;
  }
  if (entry == nullptr && initEntry == nullptr) {
    params = SetParamValue(params, "ResultMsgStr", msg::ProviderRaised(name));
    return false;
  }
  // The provider writes within the contract's size; a longer input gets a buffer that
  // holds it whole instead of overflowing.
  std::vector<char> buffer(std::max<size_t>(QORVCRYPT_PROVIDER_BUFFER_SIZE, params.size() + 1), '\0');
  std::memcpy(buffer.data(), params.c_str(), params.size() + 1);

  ProviderCall call;
  call.entry = entry;
  call.initEntry = initEntry;
  call.windowHandle = CallerWindowHandle();
  call.buffer = buffer.data();
  call.bufferSize = buffer.size();
  if (!platform::CallGuarded(RunProviderCall, &call) || !call.conventionKept) {
    params = SetParamValue(params, "ResultMsgStr", msg::ProviderRaised(name));
    return false;
  }
  params = std::move(call.output);
  return call.result != 0;
}

bool TCryptDll::InitCrypt(std::string& params) { return CallProvider("InitCrypt", nullptr, FInitCrypt, false, params); }
bool TCryptDll::Encrypt(std::string& params) { return CallProvider("Encrypt", FEncrypt, nullptr, false, params); }
bool TCryptDll::Decrypt(std::string& params) { return CallProvider("Decrypt", FDecrypt, nullptr, false, params); }
bool TCryptDll::FinalCrypt(std::string& params) {
  return CallProvider("FinalCrypt", FFinalCrypt, nullptr, false, params);
}
bool TCryptDll::GetUSBCertFile(std::string& params) {
  return CallProvider("GetUSBCertFile", FGetUSBCertFile, nullptr, false, params);
}
bool TCryptDll::CreateCAFile(std::string& params) {
  return CallProvider("CreateCAFile", FCreateCAFile, nullptr, true, params);
}
bool TCryptDll::ChangeCAPassword(std::string& params) {
  return CallProvider("ChangeCAPassword", FChangeCAPassword, nullptr, true, params);
}
bool TCryptDll::ValidateCert(std::string& params) {
  return CallProvider("ValidateCert", FValidateCert, nullptr, true, params);
}

}  // namespace qorv
