// The crypto configuration loader and the listing on any file content.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "config/CryptConfig.h"
#include "config/CryptList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/qorv-config-fuzz-" + std::to_string(getpid()) + ".xml";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const qorv::TCryptConfig config(path, "T");
  // A loaded type always describes itself; a failed one always says why.
  if (config.FErrorMsg.empty()) (void)config.AppendDescription("");
  const qorv::CryptListResult list = qorv::ListCryptTypes(path);
  if (list.ok != list.params.empty()) std::abort();
  return 0;
}
