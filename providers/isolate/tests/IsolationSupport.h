// A deployment whose crypto types run the test provider behind the isolating provider.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/Deployment.h"

namespace qorv::test {

// The isolating provider and the helpers built beside the test programs.
std::string IsolatingProviderPath();
std::string RogueHostPath();

// A type named name that runs realProvider isolated, with further settings.
CryptEntry IsolatedType(const std::string& name, const std::string& realProvider,
                        std::vector<std::pair<std::string, std::string>> settings = {});

// A message of the isolating provider, from its UTF-8 words and the names put in.
std::string IsoMessage(const std::string& before, const std::string& name, const std::string& after);

}  // namespace qorv::test
