// The INI reader and writer on any file content: reading never fails, and a value
// written where it can be read back is read back.
#include <cstdlib>

#include "FuzzInput.h"
#include "store/IniDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto texts = qorv::fuzz::SplitAtZero(data, size, 4);
  qorv::TIniDocument document(texts[0]);
  (void)document.Read(texts[1], texts[2]);
  if (!document.Write(texts[1], texts[2], texts[3])) return 0;
  const qorv::TIniDocument reread(document.Text());
  const std::string value = reread.Read(texts[1], texts[2]);
  if (value != document.Read(texts[1], texts[2])) std::abort();
  return 0;
}
