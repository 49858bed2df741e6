// Parameter strings: reading and writing any text never fails, and a value set under
// any name reads back.
#include <cstdlib>

#include "FuzzInput.h"
#include "interface/ParamString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto texts = qorv::fuzz::SplitAtZero(data, size, 3);
  const std::string& text = texts[0];
  const std::string& name = texts[1];
  const std::string& value = texts[2];

  (void)qorv::GetParamValue(text, name);
  const std::string written = qorv::SetParamValue(text, name, value);
  if (name.empty()) {
    if (written != qorv::SetParamValue(text, "", "x")) std::abort();
    return 0;
  }
  // Separators around the result keep the ends of the whole text, which reading trims,
  // away from the entry. A value holding an escape text reads back with the character.
  const std::string expected = qorv::UnescapeParamText(qorv::EscapeParamText(value));
  if (qorv::GetParamValue(";" + written + ";", name) != expected) std::abort();
  return 0;
}
