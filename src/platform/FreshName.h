// Names for the files a copy creates next to its target, shared by every target.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>

namespace qorv::platform {

// A name no one else is about to use: a fixed prefix that marks the library's own
// temporary files, then 16 hexadecimal digits that no one can guess. Callers create
// the file exclusively and draw again when the name is taken.
inline std::string FreshFileName(const char* prefix) {
  static std::atomic<uint64_t> counter{0};
  std::random_device random;
  uint64_t value = (static_cast<uint64_t>(random()) << 32) ^ random();
  value ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15u;
  value += counter.fetch_add(1) * 0xBF58476D1CE4E5B9u;
  static const char kDigits[] = "0123456789abcdef";
  std::string name(prefix);
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(value >> shift) & 0xF];
  return name + ".tmp";
}

}  // namespace qorv::platform
