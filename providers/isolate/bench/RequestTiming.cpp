// The cost of isolation: one Encrypt request through a copy of the built library with a
// provider that does nothing, loaded directly and run behind the isolating provider,
// the two interleaved so that both see the same machine. Runs on every target (under
// wine for Windows), where Google Benchmark is not built.
//
//   qorv_isolation_timing [requests]    (default 200 of each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "QorvCryptManage.h"
#include "platform/DynamicLibrary.h"
#include "platform/ProcessInfo.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qorv;
  const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const std::string exe = platform::ExecutablePath();
  const std::string bin = exe.substr(0, exe.find_last_of("/\\") + 1);
  const fs::path scratch =
      fs::temp_directory_path() / ("qorv-isolation-timing-" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(scratch);
  // A copy of the library, so that its CA folder is the scratch folder's.
  const std::string libraryName = platform::SharedLibraryFileName("QorvCryptManage");
  fs::copy_file(bin + libraryName, scratch / libraryName);
  platform::DynamicLibrary library;
  if (!library.Open((scratch / libraryName).string())) {
    std::fprintf(stderr, "cannot load %s: %s\n", libraryName.c_str(), library.LastError().c_str());
    return 1;
  }
  auto encrypt = reinterpret_cast<QorvCryptFileFn>(library.Symbol("Encrypt"));
  const std::string noop = bin + platform::SharedLibraryFileName("qorv_isolation_noop_provider");
  const std::string isolating = bin + platform::SharedLibraryFileName("QorvIsolatingProvider");
  const std::string config = (scratch / "crypt.xml").string();
  std::ofstream(config) << "<CRYPTS><CRYPT><NAME>Direct</NAME><LIBPATH>" << noop
                        << "</LIBPATH><MODE>0</MODE><DESC>d</DESC></CRYPT><CRYPT><NAME>Isolated</NAME><LIBPATH>"
                        << isolating << "</LIBPATH><MODE>0</MODE><DESC>i</DESC><EXTENDS><EXT-PARAM><PARAM-NAME>"
                        << "IsolatedLibPath</PARAM-NAME><PARAM-VALUE>" << noop
                        << "</PARAM-VALUE></EXT-PARAM></EXTENDS></CRYPT></CRYPTS>\n";

  std::vector<double> direct, isolated;
  auto once = [&](const char* type) {
    std::vector<char> buffer(4096, '\0');
    char* text = buffer.data();
    const Clock::time_point start = Clock::now();
    const unsigned char ok = encrypt(0, config.c_str(), type, "bench", "in", "out", &text);
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (ok != 1) {
      std::fprintf(stderr, "%s request failed: %s\n", type, text);
      std::exit(1);
    }
    return micros;
  };
  for (int round = 0; round < 5; ++round) {
    once("Direct");
    once("Isolated");
  }
  for (int round = 0; round < requests; ++round) {
    direct.push_back(once("Direct"));
    isolated.push_back(once("Isolated"));
  }
  library.Close();
  fs::remove_all(scratch);
  std::printf("Encrypt with a no-op provider, %d requests of each (microseconds per request)\n", requests);
  std::printf("  direct:   median %10.1f  mean %10.1f\n", Median(direct), Mean(direct));
  std::printf("  isolated: median %10.1f  mean %10.1f\n", Median(isolated), Mean(isolated));
  std::printf("  isolated / direct (medians): %.1f\n", Median(isolated) / Median(direct));
  return 0;
}
