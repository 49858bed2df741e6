// Growth with the size of the files: configurations of 10 to 100,000 crypto types and
// certificate set files of 10 to 100,000 users. The configuration lookup and listing
// stand next to the bare libxml2 parse of the same bytes.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "BenchSupport.h"
#include "config/CryptConfig.h"
#include "config/CryptList.h"
#include "store/IniFile.h"
#include "store/UserCaFile.h"
#include "util/PasswordScramble.h"

namespace qorv::bench {
namespace {

constexpr int kSmallest = 10;
constexpr int kLargest = 100000;

struct ScaledFile {
  std::string path;
  std::string bytes;
};

const ScaledFile& ConfigOf(int count) {
  static std::map<int, ScaledFile> files;
  auto [at, added] = files.try_emplace(count);
  if (added) {
    at->second.bytes = ScaledConfigXml(count, NoopProviderPath());
    at->second.path = WriteScratchFile("config/" + std::to_string(count) + ".xml", at->second.bytes);
  }
  return at->second;
}

// The folder holding the CA folder whose certificate set file has count users.
const std::string& CaRootOf(int count) {
  static std::map<int, std::string> roots;
  auto [at, added] = roots.try_emplace(count);
  if (added) {
    at->second = ScratchDir() + "stores/" + std::to_string(count) + "/";
    const std::string certDir = at->second + "CA/Cert/";
    WriteScratchFile("stores/" + std::to_string(count) + "/CA/Cert/UserCa_Cert.ini", ScaledIniText(count, certDir));
  }
  return at->second;
}

std::string IniPathOf(int count) { return CaRootOf(count) + "CA/Cert/UserCa_Cert.ini"; }

// Complexity over the item count, and the time per item as a counter.
void CountItems(benchmark::State& state) {
  const auto count = state.range(0);
  state.SetComplexityN(count);
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BareParse(benchmark::State& state) {
  const ScaledFile& file = ConfigOf(static_cast<int>(state.range(0)));
  RunEach(state, "parse", [&] { return BareXmlParse(file.bytes); });
  CountItems(state);
}

void Lookup(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const ScaledFile& file = ConfigOf(count);
  const std::string last = ScaledTypeName(count);
  for (auto _ : state) {
    const TCryptConfig config(file.path, last);
    if (!config.FErrorMsg.empty() || config.FMode != "1") {
      state.SkipWithError(("lookup failed: " + config.FErrorMsg).c_str());
      break;
    }
  }
  CountItems(state);
}

void List(benchmark::State& state) {
  const ScaledFile& file = ConfigOf(static_cast<int>(state.range(0)));
  RunEach(state, "listing", [&] { return ListCryptTypes(file.path).ok; });
  CountItems(state);
}

void IniRead(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const TIniFile ini(IniPathOf(count));
  const std::string last = ScaledUserName(count);
  RunEach(state, "read", [&] {
    TIniDocument document;
    return ini.Load(document) && !document.Read(last, "EncKeyFile").empty();
  });
  CountItems(state);
}

// The user's certificate set as the exports load it.
void UserSet(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string& caRoot = CaRootOf(count);
  const std::string last = ScaledUserName(count);
  RunEach(state, "load", [&] { return !TUserCaFile(caRoot, "Cert", last, false).FEncKeyFile.empty(); });
  CountItems(state);
}

// A save of the last user's key password: read, change in place, replace the file.
void IniWrite(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const TIniFile ini(IniPathOf(count));
  const IniEntries entries = {{"EncKeyPwd", ScramblePassword("enc-key-password")}};
  const std::string last = ScaledUserName(count);
  RunEach(state, "write", [&] { return ini.WriteStrings(last, entries); });
  CountItems(state);
}

}  // namespace

void RegisterScalingBenchmarks() {
  auto reg = [](const char* name, void (*fn)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, fn)
        ->RangeMultiplier(10)
        ->Range(kSmallest, kLargest)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  reg("Config/BareParse", BareParse);
  reg("Config/Lookup", Lookup);
  reg("Config/List", List);
  reg("Ini/Read", IniRead);
  reg("Ini/UserSet", UserSet);
  reg("Ini/Write", IniWrite);
  for (int count = kSmallest; count <= kLargest; count *= 10) {
    const std::string n = "/" + std::to_string(count);
    AddRatio({"configuration size",
              "lookup, " + std::to_string(count) + " types",
              "Config/Lookup" + n,
              {"Config/BareParse" + n},
              2.0,
              ""});
    AddRatio({"configuration size",
              "listing, " + std::to_string(count) + " types",
              "Config/List" + n,
              {"Config/BareParse" + n},
              2.0,
              ""});
  }
}

}  // namespace qorv::bench
