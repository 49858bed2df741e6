// Parameter-string operations on texts of 100 bytes to 1 MB. Each text is a run of
// ordinary entries; the entry the lookups ask for stands last, so every scan is whole.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "BenchSupport.h"
#include "interface/ParamString.h"

namespace qorv::bench {
namespace {

constexpr int64_t kSmallest = 100;
constexpr int64_t kLargest = 1000000;

// size bytes of "KeyNNNNNN=value-NNNNNN-abcdefgh;" entries, then "Target=last".
const std::string& ParamText(int64_t size) {
  static std::map<int64_t, std::string> texts;
  auto [at, added] = texts.try_emplace(size);
  if (added) {
    std::string& text = at->second;
    const std::string last = "Target=last";
    for (int i = 0; text.size() + last.size() < static_cast<size_t>(size); ++i) {
      char entry[64];
      std::snprintf(entry, sizeof entry, "Key%06d=value-%06d-abcdefgh;", i, i);
      text += entry;
    }
    text.resize(static_cast<size_t>(size) - last.size(), 'x');
    text += last;
  }
  return at->second;
}

// size bytes of escaped text: what EscapeParamText makes of entry texts.
const std::string& EscapedText(int64_t size) {
  static std::map<int64_t, std::string> texts;
  auto [at, added] = texts.try_emplace(size);
  if (added) {
    std::string escaped = EscapeParamText(ParamText(size));
    escaped.resize(static_cast<size_t>(size));
    at->second = std::move(escaped);
  }
  return at->second;
}

// Plain text with nothing to replace: the scan alone.
const std::string& PlainText(int64_t size) {
  static std::map<int64_t, std::string> texts;
  auto [at, added] = texts.try_emplace(size);
  if (added) {
    std::string text = ParamText(size);
    for (char& c : text) {
      if (c == '=' || c == ';') c = '-';
    }
    at->second = std::move(text);
  }
  return at->second;
}

template <typename Op>
void Run(benchmark::State& state, const std::string& text, Op op) {
  for (auto _ : state) benchmark::DoNotOptimize(op(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.SetComplexityN(static_cast<int64_t>(text.size()));
}

void Get(benchmark::State& s) {
  Run(s, ParamText(s.range(0)), [](const std::string& t) { return GetParamValue(t, "Target"); });
}
void Set(benchmark::State& s) {
  Run(s, ParamText(s.range(0)), [](const std::string& t) { return SetParamValue(t, "Target", "changed"); });
}
void Escape(benchmark::State& s) { Run(s, ParamText(s.range(0)), EscapeParamText); }
void Unescape(benchmark::State& s) { Run(s, EscapedText(s.range(0)), UnescapeParamText); }
void ReplaceDense(benchmark::State& s) {
  Run(s, EscapedText(s.range(0)), [](const std::string& t) { return ReplaceAllText(t, "&lim%", ";"); });
}
void ReplaceOneByte(benchmark::State& s) {
  Run(s, ParamText(s.range(0)), [](const std::string& t) { return ReplaceAllText(t, "=", "&eq%"); });
}
void ReplaceNone(benchmark::State& s) {
  Run(s, PlainText(s.range(0)), [](const std::string& t) { return ReplaceAllText(t, "&lim%", ";"); });
}

}  // namespace

void RegisterParamStringBenchmarks() {
  auto reg = [](const std::string& name, void (*fn)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name.c_str(), fn)
        ->RangeMultiplier(10)
        ->Range(kSmallest, kLargest)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMicrosecond);
  };
  reg("Param/GetParamValue", Get);
  reg("Param/SetParamValue", Set);
  reg("Param/EscapeParamText", Escape);
  reg("Param/UnescapeParamText", Unescape);
  // The replacement scans: "&lim%" through escaped text (as unescaping does), "=" through
  // entries (as escaping does), and a text with nothing to replace.
  reg("Param/ReplaceAllText_escaped", ReplaceDense);
  reg("Param/ReplaceAllText_onebyte", ReplaceOneByte);
  reg("Param/ReplaceAllText_nomatch", ReplaceNone);
  for (const char* name :
       {"Param/ReplaceAllText_escaped", "Param/ReplaceAllText_onebyte", "Param/ReplaceAllText_nomatch"}) {
    AddThroughput({std::string(name).substr(6) + ", 1 MB", std::string(name) + "/" + std::to_string(kLargest), 1e9});
  }
}

}  // namespace qorv::bench
