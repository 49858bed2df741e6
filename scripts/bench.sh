#!/usr/bin/env bash
# Builds the benchmark preset (Release) and runs the library's benchmarks: each export
# through the built library with a no-op provider next to the work it cannot avoid, the
# growth with configuration and store sizes, and the parameter-string operations; then
# the ratios and throughputs against their goals. A benchmark reports; it fails on
# nothing. Each benchmark runs three times and its median is shown and compared.
# Arguments go to the benchmark program (e.g. --benchmark_filter=Export).
# QORV_BENCH_BUILD_DIR builds in another folder than build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${QORV_BENCH_BUILD_DIR:-build/bench}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ "$build_dir" = build/bench ]; then
  build=(cmake --build --preset bench)
  configure=(cmake --preset bench)
else
  build=(cmake --build "$build_dir")
  configure=(cmake --preset bench -B "$build_dir")
fi
if ! { "${configure[@]}" && "${build[@]}"; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi

# glibc hands freed memory back to the system, or keeps it, depending on the heap's
# history; memory handed back is faulted in again on the next iteration, which on a
# virtual machine can cost more than the parse being measured. Fixed thresholds keep
# freed memory for reuse, so that the figures do not depend on which benchmark ran first.
tunables=glibc.malloc.trim_threshold=4294967296:glibc.malloc.mmap_threshold=33554432

echo "Machine: $(nproc) cores, $(awk '/model name/ { sub(/.*: /, ""); print; exit }' /proc/cpuinfo)"
echo "Command: scripts/bench.sh $*"
sync  # the build's writes are not flushed during the measurements
GLIBC_TUNABLES=$tunables "$build_dir/bin/qorv_bench" --benchmark_repetitions=3 \
  --benchmark_display_aggregates_only=true "$@"
