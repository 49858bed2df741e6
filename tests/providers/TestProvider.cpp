// A provider library for tests. It records every call it receives (function, window
// handle, exact text) and answers as the test's script says. The script's path comes
// with InitCrypt, as the extension parameter TestScript, and holds lines
//   Function|action|output
// where action is 1 or 0 (the result), or a fault: "fault" (a processor fault),
// "throw" (a C++ exception), "raise:<code>" (a structured exception on Windows, a
// signal elsewhere), "unterminated" (fills the whole buffer, no zero byte, result 1).
// output "-" leaves the buffer as it came; anything else replaces its text.
// Functions without a line answer 1 and leave the buffer alone. The record is appended
// to the script's path + ".log" as: Function TAB handle TAB length TAB text LF.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "QorvCryptProvider.h"
#include "providers/ProviderFaults.h"

namespace {

// State of one call sequence, from InitCrypt to FinalCrypt.
std::string g_script;

std::string ValueOf(const std::string& params, const std::string& name) {
  const std::string text = ";" + params;
  const std::string key = ";" + name + "=";
  const size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  const size_t start = at + key.size();
  const size_t end = text.find(';', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void Record(const char* function, uintptr_t handle, const char* text) {
  if (g_script.empty()) return;
  std::ofstream log(g_script + ".log", std::ios::binary | std::ios::app);
  log << function << '\t' << handle << '\t' << std::strlen(text) << '\t' << text << '\n';
}

bool FindLine(const char* function, std::string& action, std::string& output) {
  std::ifstream script(g_script, std::ios::binary);
  std::string line;
  const std::string prefix = std::string(function) + "|";
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t bar = line.find('|', prefix.size());
    action = line.substr(prefix.size(), bar == std::string::npos ? std::string::npos : bar - prefix.size());
    output = bar == std::string::npos ? "-" : line.substr(bar + 1);
    return true;
  }
  return false;
}

unsigned char Answer(const char* function, uintptr_t handle, char** params) {
  Record(function, handle, *params);
  std::string action;
  std::string output;
  if (!FindLine(function, action, output)) return 1;
  if (action == "fault") CauseProcessorFault();
  if (action == "throw") throw std::runtime_error("test provider failure");
  if (action.compare(0, 6, "raise:") == 0) RaiseFault(std::stoul(action.substr(6), nullptr, 0));
  if (action == "unterminated") {
    std::memset(*params, 'x', QORVCRYPT_PROVIDER_BUFFER_SIZE);
    return 1;
  }
  if (output != "-") {
    std::strncpy(*params, output.c_str(), QORVCRYPT_PROVIDER_BUFFER_SIZE - 1);
    (*params)[QORVCRYPT_PROVIDER_BUFFER_SIZE - 1] = '\0';
  }
  return action == "1" ? 1 : 0;
}

}  // namespace

extern "C" {

QORVCRYPT_API unsigned char QORVCRYPT_CALL InitCrypt(uintptr_t Handle, char** Params) {
  g_script = ValueOf(*Params, "TestScript");
  return Answer("InitCrypt", Handle, Params);
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL FinalCrypt(char** Params) {
  const unsigned char result = Answer("FinalCrypt", 0, Params);
  g_script.clear();
  return result;
}

#ifndef QORV_TEST_PROVIDER_WITHOUT_ENCRYPT
QORVCRYPT_API unsigned char QORVCRYPT_CALL Encrypt(char** Params) { return Answer("Encrypt", 0, Params); }
#endif

QORVCRYPT_API unsigned char QORVCRYPT_CALL Decrypt(char** Params) { return Answer("Decrypt", 0, Params); }

QORVCRYPT_API unsigned char QORVCRYPT_CALL GetUSBCertFile(char** Params) {
  return Answer("GetUSBCertFile", 0, Params);
}

#ifndef QORV_TEST_PROVIDER_WITHOUT_OPTIONAL
QORVCRYPT_API unsigned char QORVCRYPT_CALL CreateCAFile(char** Params) { return Answer("CreateCAFile", 0, Params); }

QORVCRYPT_API unsigned char QORVCRYPT_CALL ChangeCAPassword(char** Params) {
  return Answer("ChangeCAPassword", 0, Params);
}

QORVCRYPT_API unsigned char QORVCRYPT_CALL ValidateCert(char** Params) { return Answer("ValidateCert", 0, Params); }
#endif

}  // extern "C"
