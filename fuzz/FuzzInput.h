// Splits a fuzzer's input into texts at zero bytes, so that one input can carry a
// parameter string, a name and a value at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorv::fuzz {

inline std::vector<std::string> SplitAtZero(const uint8_t* data, size_t size, size_t parts) {
  std::vector<std::string> texts(parts);
  size_t part = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && part + 1 < parts) {
      ++part;
    } else {
      texts[part].push_back(static_cast<char>(data[i]));
    }
  }
  return texts;
}

}  // namespace qorv::fuzz
