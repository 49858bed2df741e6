#include "support/TestProvider.h"

#include <fstream>
#include <sstream>

#include "platform/DynamicLibrary.h"
#include "platform/ProcessInfo.h"

namespace qorv::test {

std::string TestProviderPath(const std::string& baseName) {
  const std::string exe = platform::ExecutablePath();
  return exe.substr(0, exe.find_last_of("/\\") + 1) + platform::SharedLibraryFileName(baseName);
}

ProviderScript::ProviderScript(const TempDir& dir) : path_(dir.Write("provider-script.txt", "")) {}

void ProviderScript::Answer(const std::string& function, const std::string& action, const std::string& output) {
  lines_ += function + "|" + action + "|" + output + "\n";
  std::ofstream(path_, std::ios::binary | std::ios::trunc) << lines_;
}

void ProviderScript::Reset() {
  lines_.clear();
  std::ofstream(path_, std::ios::binary | std::ios::trunc);
}

std::vector<ProviderCallRecord> ProviderScript::Calls() const {
  std::vector<ProviderCallRecord> calls;
  const std::string log = ReadFileBytes(path_ + ".log");
  size_t at = 0;
  while (at < log.size()) {
    ProviderCallRecord record;
    const size_t tab1 = log.find('\t', at);
    const size_t tab2 = log.find('\t', tab1 + 1);
    const size_t tab3 = log.find('\t', tab2 + 1);
    if (tab3 == std::string::npos) break;
    record.function = log.substr(at, tab1 - at);
    record.handle = static_cast<uintptr_t>(std::stoull(log.substr(tab1 + 1, tab2 - tab1 - 1)));
    const size_t length = std::stoul(log.substr(tab2 + 1, tab3 - tab2 - 1));
    record.text = log.substr(tab3 + 1, length);
    at = tab3 + 1 + length + 1;
    calls.push_back(record);
  }
  return calls;
}

std::string ProviderScript::CallOrder() const {
  std::string order;
  for (const ProviderCallRecord& call : Calls()) order += (order.empty() ? "" : " ") + call.function;
  return order;
}

}  // namespace qorv::test
