// What the benchmarks share: a scratch folder, generated configuration and store files,
// and the ratios the summary prints after the run.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qorv::bench {

// A fresh folder below the system's temporary folder, removed at exit. Ends in '/'.
const std::string& ScratchDir();
// Writes bytes to ScratchDir() + name (folders created) and returns the full path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

// Runs step once per iteration; a failed step ends the benchmark with "<what> failed".
void RunEach(benchmark::State& state, const std::string& what, const std::function<bool()>& step);

// libxml2's own parse of a document into its own tree, freed again: the yardstick the
// configuration reader is measured against. False when the document is not well-formed.
bool BareXmlParse(std::string_view bytes);

// Folder of the benchmark program, where the library and the no-op provider are built.
std::string BinDir();
std::string NoopProviderPath();

// A crypto configuration with count certificate-mode types "Type000001".. using
// libPath, each with its CA settings and two extension parameters, laid out as people
// write them. The last one is the one the lookups ask for.
std::string ScaledConfigXml(int count, const std::string& libPath);
std::string ScaledTypeName(int index);  // 1-based

// A certificate set file for the crypto type with count users "user000001".., each
// with a one-pair set as the store writes it, and the server record Revenue12 last.
std::string ScaledIniText(int count, const std::string& certDir);
std::string ScaledUserName(int index);  // 1-based

// A ratio the summary prints: the time of one benchmark over the sum of others,
// measured in the same run, against a goal (the ratio must stay at or below it).
// Without parts, the benchmark measured its parts itself, in the same iterations, and
// reports their time per iteration in its counter "parts".
struct Ratio {
  std::string table;  // the summary groups ratios by table
  std::string label;
  std::string measured;            // benchmark name
  std::vector<std::string> parts;  // benchmark names, their times summed
  double goal = 0;
  std::string partsShown;  // what the parts are, when they are not named in parts
};
void AddRatio(Ratio ratio);
const std::vector<Ratio>& Ratios();

// A throughput the summary prints against a floor, in bytes per second.
struct Throughput {
  std::string label;
  std::string measured;  // benchmark name (one that sets bytes processed)
  double goalBytesPerSecond = 0;
};
void AddThroughput(Throughput throughput);
const std::vector<Throughput>& Throughputs();

// Registration functions of each benchmark file, called from main before the run.
void RegisterExportBenchmarks();
void RegisterScalingBenchmarks();
void RegisterParamStringBenchmarks();

}  // namespace qorv::bench
