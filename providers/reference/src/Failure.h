// A refusal with the message the host shows: thrown inside the provider and turned
// into ResultMsgStr at the exported function, so that no exception crosses the boundary.
#pragma once

#include <stdexcept>
#include <string>

namespace qorv_ref {

class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] inline void Fail(const std::string& message) { throw Failure(message); }

}  // namespace qorv_ref
