#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan, UBSan) and runs each for SECONDS
# (default 30): scripts/fuzz.sh 3600 runs each for an hour. New inputs collect in
# build/fuzz/corpus/<harness>; a finding is written to build/fuzz/findings/ and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
declare -A dictionaries=([Config]=fuzz/xml.dict [ParamString]=fuzz/param.dict)
mkdir -p build/fuzz/findings
status=0
for harness in ParamString Config Ini Unscramble; do
  corpus=build/fuzz/corpus/$harness
  mkdir -p "$corpus"
  dict=()
  [ -n "${dictionaries[$harness]:-}" ] && dict=(-dict="${dictionaries[$harness]}")
  echo "=== fuzz: $harness for ${seconds}s"
  if ! build/fuzz/bin/fuzz_$harness "$corpus" fuzz/corpus/$harness "${dict[@]}" -max_total_time="$seconds" \
      -artifact_prefix=build/fuzz/findings/$harness- -print_final_stats=0 2>build/fuzz/$harness.log; then
    tail -n 40 build/fuzz/$harness.log
    echo "fuzz: $harness FOUND A FAILURE; the input is in build/fuzz/findings/"
    status=1
  else
    grep -E '^#[0-9]+.*DONE' build/fuzz/$harness.log | tail -n 1 || true
  fi
done
exit $status
