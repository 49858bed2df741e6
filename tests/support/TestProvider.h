// Drives the test provider library (tests/providers/TestProvider.cpp): where it is, the
// script that tells it how to answer, and the record of what it received.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace qorv::test {

// Full path of a test provider built beside the test programs, by base name:
// "qorv_test_provider", "qorv_test_provider_without_optional", ...
std::string TestProviderPath(const std::string& baseName = "qorv_test_provider");

struct ProviderCallRecord {
  std::string function;
  uintptr_t handle = 0;
  std::string text;
};

class ProviderScript {
 public:
  explicit ProviderScript(const TempDir& dir);
  // The script file's path: hand it to the provider as the extension parameter TestScript.
  const std::string& path() const { return path_; }
  // Adds "function|action|output" (see the provider for the actions).
  void Answer(const std::string& function, const std::string& action, const std::string& output = "-");
  // Forgets every line: from now on every function answers 1.
  void Reset();
  // Every call recorded so far, in order.
  std::vector<ProviderCallRecord> Calls() const;
  // The functions called, in order, joined with spaces.
  std::string CallOrder() const;

 private:
  std::string path_;
  std::string lines_;
};

}  // namespace qorv::test
