// Stored passwords: any stored text reads back without failing, and any password
// scrambles and reads back unchanged.
#include <cstdlib>
#include <string>

#include "util/PasswordScramble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)qorv::UnscramblePassword(text);
  if (text.find('\0') == std::string::npos && qorv::UnscramblePassword(qorv::ScramblePassword(text)) != text) {
    std::abort();
  }
  return 0;
}
