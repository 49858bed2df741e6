#include "IsolationSupport.h"

#include "platform/DynamicLibrary.h"
#include "platform/ProcessInfo.h"
#include "platform/TextConversion.h"
#include "support/TestProvider.h"

namespace qorv::test {

std::string IsolatingProviderPath() { return TestProviderPath("QorvIsolatingProvider"); }

std::string RogueHostPath() {
  const std::string exe = platform::ExecutablePath();
  const std::string suffix = exe.size() > 4 && exe.compare(exe.size() - 4, 4, ".exe") == 0 ? ".exe" : "";
  return exe.substr(0, exe.find_last_of("/\\") + 1) + "qorv_rogue_provider_host" + suffix;
}

CryptEntry IsolatedType(const std::string& name, const std::string& realProvider,
                        std::vector<std::pair<std::string, std::string>> settings) {
  settings.insert(settings.begin(), {"IsolatedLibPath", realProvider});
  return {name, IsolatingProviderPath(), "0", "isolated", "", "", "", settings};
}

std::string IsoMessage(const std::string& before, const std::string& name, const std::string& after) {
  return platform::Utf8ToMessageText(before) + name + platform::Utf8ToMessageText(after);
}

}  // namespace qorv::test
